// orvelctl: administration of a site from the command line.
//   orvelctl init-site DIR [--edition 1|2] [--postgresql HOST[:PORT][/DATABASE]] [--services|--no-services]
//       create a new site folder with its database: a new SQLite file in DIR, or the database on a
//       PostgreSQL server (created or joined)
//   orvelctl import|export ...               CSV import and export of master data
//                                            (ImportExportCommand.h)
//   orvelctl write-media DIR                  (re)write the prompt sounds wav/ and FpImage.bmp in DIR
//   orvelctl file-version FILE               the four-part version a program or library carries

#include "GetFileVers.h"
#include "ImportExportCommand.h"
#include "SiteMedia.h"
#include "SiteSetup.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

namespace {

// Prints "a.b.c.d" ("0.0.0.0" for a file without a version); a file that cannot be read is an
// error, not a version.
int FileVersionCommand(const QStringList &args)
{
    if (args.size() != 1) {
        QTextStream(stderr) << "usage: orvelctl file-version FILE\n";
        return 2;
    }
    const QFileInfo file(args[0]);
    if (!file.isFile() || !file.isReadable()) {
        QTextStream(stderr) << "orvelctl: cannot read " << args[0] << "\n";
        return 1;
    }
    QTextStream(stdout) << orvel::GetFileVers(args[0]) << "\n";
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    QTextStream out(stdout);
    const QStringList args = app.arguments().mid(1);
    if (args.value(0) == QLatin1String("file-version"))
        return FileVersionCommand(args.mid(1));
    auto usage = [&]() {
        err << "usage: orvelctl init-site DIR [--edition 1|2] [--postgresql HOST[:PORT][/DATABASE]] [--services|--no-services]\n"
               "       orvelctl write-media DIR\n"
               "       orvelctl file-version FILE\n"
            << orvel::ImportExportUsage();
        return 2;
    };
    if (!args.isEmpty() && (args[0] == QLatin1String("import") || args[0] == QLatin1String("export")))
        return orvel::RunImportExportCommand(args, out, err);
    if (args.size() == 2 && args[0] == QLatin1String("write-media")) {
        QString error;
        if (!orvel::WriteSiteMedia(args[1], &error)) {
            err << "orvelctl: " << error << "\n";
            return 1;
        }
        return 0;
    }
    if (args.size() < 2 || args[0] != QLatin1String("init-site"))
        return usage();

    orvel::SiteOptions options;
    QString dir;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--edition") && i + 1 < args.size()) {
            bool ok = false;
            options.edition = args[++i].toInt(&ok);
            if (!ok || (options.edition != 1 && options.edition != 2)) {
                err << "orvelctl: --edition takes 1 (FeliCa) or 2 (Mifare)\n";
                return 2;
            }
        } else if (args[i] == QLatin1String("--postgresql") && i + 1 < args.size()) {
            options.postgresql = args[++i];
            orvel::PgAddress address;
            QString error;
            if (!orvel::ParsePgAddress(options.postgresql, &address, &error)) {
                err << "orvelctl: " << error << "\n";
                return 2;
            }
        } else if (args[i] == QLatin1String("--services") || args[i] == QLatin1String("--no-services")) {
            options.services = args[i] == QLatin1String("--services") ? 1 : 0;
        } else if (dir.isEmpty() && !args[i].startsWith(QLatin1String("--"))) {
            dir = args[i];
        } else {
            return usage();
        }
    }
    if (dir.isEmpty())
        return usage();

    QString error, summary;
    if (!orvel::CreateSite(dir, options, &error, &summary)) {
        err << "orvelctl: " << error << "\n";
        return 1;
    }
    out << "site created in " << dir << " (edition " << options.edition << "): " << summary << "\n";
    return 0;
}
