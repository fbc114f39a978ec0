#include "Format.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>

#include <cmath>

namespace orvel {
namespace {

bool IsDatePattern(const QString &p)
{
    for (QChar c : p) {
        const QChar l = c.toLower();
        if (l == u'y' || l == u'm' || l == u'd' || l == u'h' || l == u'n' || l == u's' || l == u'w' || l == u'q')
            return true;
    }
    return false;
}

// Reads the date-times the database gives back: QDateTime, QDate, or text such as
// "2009-04-01 08:30:00.000", "2009/04/01 8:30:00", "2009/04/01".
bool ToDateTime(const QVariant &v, QDateTime &out)
{
    if (v.typeId() == QMetaType::QDateTime) {
        out = v.toDateTime();
        return out.isValid();
    }
    if (v.typeId() == QMetaType::QDate) {
        out = QDateTime(v.toDate(), QTime(0, 0));
        return out.isValid();
    }
    static const QRegularExpression re(QStringLiteral(
        R"(^\s*(\d{4})[/\-](\d{1,2})[/\-](\d{1,2})(?:[ T](\d{1,2}):(\d{1,2})(?::(\d{1,2})(?:\.\d+)?)?)?\s*$)"));
    const auto m = re.match(v.toString());
    if (!m.hasMatch())
        return false;
    const auto n = [&](int i) { return m.captured(i).isEmpty() ? 0 : m.captured(i).toInt(); };
    out = QDateTime(QDate(n(1), n(2), n(3)), QTime(n(4), n(5), n(6)));
    return out.isValid();
}

// Week of the year with weeks starting on Sunday and week 1 holding 1 January.
int WeekOfYear(const QDate &d)
{
    const QDate jan1(d.year(), 1, 1);
    const int jan1Weekday = jan1.dayOfWeek() % 7; // Sunday = 0
    return (d.dayOfYear() - 1 + jan1Weekday) / 7 + 1;
}

QString FormatDate(const QDateTime &dt, const QString &pattern)
{
    struct Tok
    {
        QChar letter; // lower case letter, or 0 for a literal
        int count;
        QString literal;
    };
    QVector<Tok> toks;
    for (qsizetype i = 0; i < pattern.size();) {
        const QChar c = pattern.at(i);
        const QChar l = c.toLower();
        if (c == u'\\' && i + 1 < pattern.size()) {
            toks.push_back({QChar(), 0, pattern.mid(i + 1, 1)});
            i += 2;
        } else if (c == u'"') {
            const qsizetype end = pattern.indexOf(u'"', i + 1);
            const qsizetype stop = end < 0 ? pattern.size() : end;
            toks.push_back({QChar(), 0, pattern.mid(i + 1, stop - i - 1)});
            i = stop + 1;
        } else if (pattern.mid(i, 5).compare(QLatin1String("AM/PM"), Qt::CaseInsensitive) == 0) {
            toks.push_back({u'a', 5, QString()});
            i += 5;
        } else if (l == u'y' || l == u'm' || l == u'd' || l == u'h' || l == u'n' || l == u's' || l == u'w' ||
                   l == u'q') {
            qsizetype j = i;
            while (j < pattern.size() && pattern.at(j).toLower() == l)
                ++j;
            toks.push_back({l, int(j - i), QString()});
            i = j;
        } else {
            toks.push_back({QChar(), 0, QString(c)});
            ++i;
        }
    }
    // "m" right after an hour or right before a second means minutes.
    auto neighbour = [&](int from, int step) -> QChar {
        for (int k = from + step; k >= 0 && k < toks.size(); k += step)
            if (!toks[k].letter.isNull())
                return toks[k].letter;
        return QChar();
    };
    for (int k = 0; k < toks.size(); ++k)
        if (toks[k].letter == u'm' && toks[k].count <= 2 && (neighbour(k, -1) == u'h' || neighbour(k, 1) == u's'))
            toks[k].letter = u'n';

    const bool ampm = std::any_of(toks.begin(), toks.end(), [](const Tok &t) { return t.letter == u'a'; });
    const QLocale c(QLocale::English);
    const QDate d = dt.date();
    const QTime t = dt.time();
    auto num = [](int v, int width) { return QString::number(v).rightJustified(width, u'0'); };
    QString out;
    for (const Tok &tk : toks) {
        const int n = tk.count;
        switch (tk.letter.unicode()) {
        case 0:
            out += tk.literal;
            break;
        case 'y':
            out += n == 1 ? QString::number(d.dayOfYear()) : n == 2 ? num(d.year() % 100, 2) : num(d.year(), 4);
            break;
        case 'm':
            out += n <= 2 ? num(d.month(), n) : n == 3 ? c.monthName(d.month(), QLocale::ShortFormat)
                                                        : c.monthName(d.month());
            break;
        case 'd':
            out += n <= 2 ? num(d.day(), n) : n == 3 ? c.dayName(d.dayOfWeek(), QLocale::ShortFormat)
                                                      : c.dayName(d.dayOfWeek());
            break;
        case 'h': {
            int h = t.hour();
            if (ampm)
                h = h % 12 == 0 ? 12 : h % 12;
            out += num(h, std::min(n, 2));
            break;
        }
        case 'n':
            out += num(t.minute(), std::min(n, 2));
            break;
        case 's':
            out += num(t.second(), std::min(n, 2));
            break;
        case 'w':
            out += n == 1 ? QString::number(d.dayOfWeek() % 7 + 1) : QString::number(WeekOfYear(d));
            break;
        case 'q':
            out += QString::number((d.month() - 1) / 3 + 1);
            break;
        case 'a':
            out += t.hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
            break;
        }
    }
    return out;
}

QString FormatNumber(double v, const QString &pattern)
{
    // Placeholders: "0" a digit always shown, "#" a digit shown when significant, "," grouping,
    // "." the decimal point. Any other character is copied where it stands (prefix/suffix).
    const qsizetype first = pattern.indexOf(QRegularExpression(QStringLiteral("[0#]")));
    const qsizetype last = pattern.lastIndexOf(QRegularExpression(QStringLiteral("[0#]")));
    const QString prefix = pattern.left(first);
    const QString suffix = pattern.mid(last + 1);
    const QString body = pattern.mid(first, last - first + 1);
    const qsizetype dot = body.indexOf(u'.');
    const QString intPart = dot < 0 ? body : body.left(dot);
    const QString fracPart = dot < 0 ? QString() : body.mid(dot + 1);
    const bool group = intPart.contains(u',');
    // Every position from the leftmost "0" of the integer part on is always shown ("0#" -> "07").
    QString intDigits = intPart;
    intDigits.remove(u',');
    const qsizetype firstZero = intDigits.indexOf(u'0');
    const int minInt = firstZero < 0 ? 0 : int(intDigits.size() - firstZero);
    const int fracDigits = int(fracPart.count(u'0') + fracPart.count(u'#'));
    const int minFrac = int(fracPart.count(u'0'));

    const bool negative = v < 0;
    QString digits = QString::number(std::fabs(v), 'f', fracDigits);
    QString ip = digits.section(u'.', 0, 0);
    QString fp = digits.section(u'.', 1, 1);
    while (fp.size() > minFrac && fp.endsWith(u'0'))
        fp.chop(1);
    if (ip == QLatin1String("0") && minInt == 0)
        ip.clear();
    ip = ip.rightJustified(minInt, u'0');
    if (group && ip.size() > 3) {
        for (qsizetype pos = ip.size() - 3; pos > 0; pos -= 3)
            ip.insert(pos, u',');
    }
    QString out = ip;
    if (!fp.isEmpty())
        out += u'.' + fp;
    return (negative && !out.isEmpty() ? QStringLiteral("-") : QString()) + prefix + out + suffix;
}

} // namespace

QString ValueText(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return QString();
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        return value.toDateTime().toString(QStringLiteral("yyyy/MM/dd hh:mm:ss"));
    case QMetaType::QDate:
        return value.toDate().toString(QStringLiteral("yyyy/MM/dd"));
    case QMetaType::QTime:
        return value.toTime().toString(QStringLiteral("hh:mm:ss"));
    case QMetaType::Double:
    case QMetaType::Float:
        return QString::number(value.toDouble(), 'g', 15);
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    default:
        return value.toString();
    }
}

QString FormatValue(const QVariant &value, const QString &pattern)
{
    const QString text = ValueText(value);
    if (pattern.isEmpty() || text.isEmpty())
        return text;
    if (IsDatePattern(pattern)) {
        QDateTime dt;
        return ToDateTime(value, dt) ? FormatDate(dt, pattern) : text;
    }
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok)
        return text;
    return FormatNumber(v, pattern);
}

QString TodayText()
{
    return QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd"));
}

} // namespace orvel
