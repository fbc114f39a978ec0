// orvelctl: administration of a site from the command line.
//   orvelctl init-site DIR [--edition 1|2]   create a new site folder with its database
//   orvelctl write-media DIR                  (re)write the prompt sounds wav/ and FpImage.bmp in DIR

#include "SiteMedia.h"
#include "SiteSetup.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    QTextStream out(stdout);
    const QStringList args = app.arguments().mid(1);
    auto usage = [&]() {
        err << "usage: orvelctl init-site DIR [--edition 1|2]\n"
               "       orvelctl write-media DIR\n";
        return 2;
    };
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
        } else if (dir.isEmpty() && !args[i].startsWith(QLatin1String("--"))) {
            dir = args[i];
        } else {
            return usage();
        }
    }
    if (dir.isEmpty())
        return usage();

    QString error;
    if (!orvel::CreateSite(dir, options, &error)) {
        err << "orvelctl: " << error << "\n";
        return 1;
    }
    out << "site created in " << dir << " (edition " << options.edition << ")\n";
    return 0;
}
