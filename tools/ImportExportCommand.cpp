#include "ImportExportCommand.h"

#include "ExportRun.h"
#include "IniFile.h"
#include "MasterImports.h"
#include "OrvelDefs.h"
#include "SiteFolder.h"
#include "rdo_cntl.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

#include <cstdlib>
#include <optional>

namespace orvel {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

enum class Kind { Users, Departments, Gates };

std::optional<Kind> KindOf(const QString &word)
{
    if (word == QLatin1String("users"))
        return Kind::Users;
    if (word == QLatin1String("departments"))
        return Kind::Departments;
    if (word == QLatin1String("gates"))
        return Kind::Gates;
    return std::nullopt;
}

// The optional columns of each kind's import file, in file order.
QStringList ImportColumnNames(Kind kind)
{
    switch (kind) {
    case Kind::Users:
        return {QStringLiteral("emp_id"), QStringLiteral("emp_name"), QStringLiteral("remark"),
                QStringLiteral("authority")};
    case Kind::Departments:
        return {QStringLiteral("remark")};
    case Kind::Gates:
        break;
    }
    return {QStringLiteral("port"), QStringLiteral("remark"), QStringLiteral("direction")};
}

impexp::ExportKind ExportKindOf(Kind kind)
{
    return kind == Kind::Users ? impexp::ExportKind::Users
           : kind == Kind::Departments ? impexp::ExportKind::Emps
                                       : impexp::ExportKind::Gates;
}

// Messages of the system end their lines with CR LF; a terminal wants plain line ends.
QString PlainLines(const QString &text)
{
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return t;
}

class CommandHost : public impexp::ImportHost
{
public:
    explicit CommandHost(QTextStream &err)
        : m_err(err)
    {
    }
    // The command itself is the operator's confirmation.
    bool Confirm(const QString &) override { return true; }
    void Warn(const QString &text) override
    {
        m_err << PlainLines(text) << "\n";
        m_err.flush();
    }

private:
    QTextStream &m_err;
};

struct Parsed
{
    QString command;
    Kind kind = Kind::Users;
    QString file;
    QString site;
    std::optional<QString> autoId;
    std::optional<QStringList> columns;
    bool registerDepartments = false;
    bool overwrite = false;
    std::optional<int> edition;
};

// Parses args into *p; returns an error text for a usage error.
QString Parse(const QStringList &args, Parsed *p)
{
    p->command = args.value(0);
    const auto kind = KindOf(args.value(1));
    if (!kind)
        return QStringLiteral("the kind is users, departments or gates");
    p->kind = *kind;
    const bool import = p->command == QLatin1String("import");
    for (int i = 2; i < args.size(); ++i) {
        QString opt = args[i];
        std::optional<QString> inlineValue;
        if (opt.startsWith(QLatin1String("--")) && opt.contains(u'=')) {
            inlineValue = opt.mid(opt.indexOf(u'=') + 1);
            opt = opt.left(opt.indexOf(u'='));
        }
        auto value = [&](QString *v) {
            if (inlineValue) {
                *v = *inlineValue;
                return true;
            }
            if (i + 1 >= args.size())
                return false;
            *v = args[++i];
            return true;
        };
        QString v;
        if (!opt.startsWith(QLatin1String("--"))) {
            if (!p->file.isEmpty())
                return QStringLiteral("one file only: ") + opt;
            p->file = opt;
        } else if (opt == QLatin1String("--site")) {
            if (!value(&v) || v.isEmpty())
                return QStringLiteral("--site takes a folder");
            p->site = v;
        } else if (opt == QLatin1String("--columns")) {
            if (!value(&v))
                return QStringLiteral("--columns takes a list (it may be empty)");
            QStringList names;
            for (const QString &n : v.split(u',', Qt::SkipEmptyParts))
                names << n.trimmed();
            p->columns = names;
        } else if (import && opt == QLatin1String("--auto-id")) {
            if (!value(&v) || v.isEmpty())
                return QStringLiteral("--auto-id takes the first ID");
            for (const QChar c : v)
                if (c < u'0' || c > u'9')
                    return QStringLiteral("--auto-id takes digits only: ") + v;
            p->autoId = v;
        } else if (import && p->kind == Kind::Users && opt == QLatin1String("--register-departments") && !inlineValue) {
            p->registerDepartments = true;
        } else if (import && p->kind != Kind::Gates && opt == QLatin1String("--overwrite") && !inlineValue) {
            p->overwrite = true;
        } else if (import && p->kind == Kind::Users && opt == QLatin1String("--edition")) {
            if (!value(&v) || (v != QLatin1String("1") && v != QLatin1String("2")))
                return QStringLiteral("--edition takes 1 (FeliCa) or 2 (Mifare)");
            p->edition = v.toInt();
        } else {
            return QStringLiteral("%1 %2 has no option %3").arg(p->command, args.value(1), opt);
        }
    }
    if (p->file.isEmpty())
        return QStringLiteral("name the file");
    if (p->columns) {
        const QStringList known = import ? ImportColumnNames(p->kind) : [&] {
            QStringList names;
            for (const impexp::ExportColumn &c : impexp::ExportColumns(ExportKindOf(p->kind)))
                names << QString::fromLatin1(c.column);
            return names;
        }();
        for (const QString &n : *p->columns)
            if (!known.contains(n))
                return QStringLiteral("unknown column %1 (the columns are %2)").arg(n, known.join(u','));
    }
    return {};
}

int SiteEdition(const QString &site)
{
    const int e = IniFile::Load(QDir(site).filePath(QString::fromLatin1(ini::FileName)))
                      .IntValue(QString::fromLatin1(ini::SecSite), QString::fromLatin1(ini::KeyEdition), EditionFelica);
    return e == EditionMifare ? EditionMifare : EditionFelica;
}

std::unique_ptr<impexp::ImportRun> MakeImport(const Parsed &p, const QString &site)
{
    const QStringList all = ImportColumnNames(p.kind);
    const QStringList cols = p.columns.value_or(all);
    const bool autoId = p.autoId.has_value();
    switch (p.kind) {
    case Kind::Users: {
        impexp::UserImportOptions o;
        o.autoId = autoId;
        if (autoId)
            o.firstId = impexp::FormatFirstId(*p.autoId, kUserIdWidth);
        o.empId = cols.contains(QStringLiteral("emp_id"));
        o.empName = cols.contains(QStringLiteral("emp_name"));
        o.emp = o.empId || o.empName;
        o.autoEmp = p.registerDepartments;
        o.bikou = cols.contains(QStringLiteral("remark"));
        o.gauthority = cols.contains(QStringLiteral("authority"));
        o.overwrite = p.overwrite;
        o.edition = p.edition.value_or(SiteEdition(site));
        return std::make_unique<impexp::UserImport>(o);
    }
    case Kind::Departments: {
        impexp::EmpImportOptions o;
        o.autoId = autoId;
        if (autoId)
            o.firstId = impexp::FormatFirstId(*p.autoId, kEmpIdWidth);
        o.bikou = cols.contains(QStringLiteral("remark"));
        o.overwrite = p.overwrite;
        return std::make_unique<impexp::EmpImport>(o);
    }
    case Kind::Gates:
        break;
    }
    impexp::GateImportOptions o;
    o.autoId = autoId;
    if (autoId)
        o.firstId = impexp::FormatFirstId(*p.autoId, kGateIdWidth);
    o.port = cols.contains(QStringLiteral("port"));
    o.bikou = cols.contains(QStringLiteral("remark"));
    o.direction = cols.contains(QStringLiteral("direction"));
    return std::make_unique<impexp::GateImport>(o);
}

} // namespace

QString ImportExportUsage()
{
    return QStringLiteral(
        "       orvelctl import users|departments|gates FILE [--site DIR] [--auto-id FIRST] [--columns LIST]\n"
        "                       [--register-departments] [--overwrite] [--edition 1|2]\n"
        "       orvelctl export users|departments|gates FILE [--site DIR] [--columns LIST]\n"
        "  import --columns: users emp_id,emp_name,remark,authority; departments remark;\n"
        "                    gates port,remark,direction (default all, empty none)\n"
        "  export --columns: the database columns of the export, default all\n");
}

int RunImportExportCommand(const QStringList &args, QTextStream &out, QTextStream &err)
{
    Parsed p;
    if (const QString usage = Parse(args, &p); !usage.isEmpty()) {
        err << "orvelctl: " << usage << "\nusage:\n" << ImportExportUsage();
        return kExitUsage;
    }
    QString site = p.site;
    if (site.isEmpty())
        site = qEnvironmentVariable("ORVEL_HOME");
    if (site.isEmpty()) {
        err << "orvelctl: name the site with --site DIR or ORVEL_HOME\n";
        return kExitUsage;
    }
    site = QDir(site).absolutePath();
    // The file is named relative to where the command runs, before anything else moves.
    const QString file = QDir::current().absoluteFilePath(p.file);
    ::setenv("ORVEL_HOME", QFile::encodeName(site).constData(), 1);
    UseSiteOdbcIni();
    rdo_cntl db;
    if (!db.InitMDB(QLatin1String(kDsn), QLatin1String(kDbUser), QLatin1String(kDbPassword))) {
        err << "orvelctl: cannot open the database of the site " << site << "\n";
        return kExitFailed;
    }

    int rc = kExitOk;
    if (p.command == QLatin1String("import")) {
        std::unique_ptr<impexp::ImportRun> run = MakeImport(p, site);
        CommandHost host(err);
        const impexp::ImportOutcome outcome = run->Run(file, host);
        run.reset();
        if (outcome.kind == impexp::ImportOutcome::Kind::Done) {
            out << PlainLines(outcome.message) << "\n";
        } else {
            err << PlainLines(outcome.message) << "\n";
            rc = kExitFailed;
        }
    } else {
        const QVector<impexp::ExportColumn> &columns = impexp::ExportColumns(ExportKindOf(p.kind));
        QVector<bool> chosen;
        for (const impexp::ExportColumn &c : columns)
            chosen << (!p.columns || p.columns->contains(QString::fromLatin1(c.column)));
        const impexp::ExportOutcome outcome = impexp::RunExport(ExportKindOf(p.kind), chosen, file);
        if (outcome.kind == impexp::ExportOutcome::Kind::Done) {
            out << PlainLines(outcome.message) << "\n";
        } else {
            err << PlainLines(outcome.message) << "\n";
            rc = kExitFailed;
        }
    }
    db.Term();
    return rc;
}

} // namespace orvel
