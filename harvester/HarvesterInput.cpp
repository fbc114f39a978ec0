#include "HarvesterInput.h"

#include <QDate>
#include <QStringList>

namespace harvester {

QString IntervalLabelText(int waitSec, int logWaitInterval)
{
    return QStringLiteral("リクエスト発行間隔[%1] ㍉秒   ログ取得間隔[%2] ㍉秒")
        .arg(qlonglong(waitSec) * logWaitInterval)
        .arg(waitSec);
}

bool ParseIntervalInput(const QString &text, int *value)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v <= 0)
        return false;
    *value = v;
    return true;
}

bool ParseStartDateInput(const QString &text, int *year, int *month, int *day)
{
    const QString t = text.trimmed();
    if (t.isEmpty()) {
        *year = *month = *day = 0;
        return true;
    }
    const QStringList parts = t.split(u'/');
    if (parts.size() != 3)
        return false;
    bool oky = false, okm = false, okd = false;
    const int y = parts[0].toInt(&oky), m = parts[1].toInt(&okm), d = parts[2].toInt(&okd);
    // The gate counts years from 2000 in one byte, and year 0 would switch the date off.
    if (!oky || !okm || !okd || y < 2001 || y > 2255 || !QDate(y, m, d).isValid())
        return false;
    *year = y - 2000;
    *month = m;
    *day = d;
    return true;
}

} // namespace harvester
