#include "MainteSettings.h"

#include <QFile>

namespace orvel::mainte {

bool FormatInRange(const QString &text, int low, int high, QString *formatted)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < low || v > high)
        return false;
    if (formatted)
        *formatted = QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
    return true;
}

bool IsAcceptedFieldKey(int key, const QString &text)
{
    switch (key) {
    case Qt::Key_Backspace:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Delete:
        return true;
    default:
        break;
    }
    return text.size() == 1 && ((text.at(0).isDigit() && text.at(0).unicode() < 128) || text.at(0) == u'.');
}

bool CanAppendTo(const QString &path)
{
    if (path.trimmed().isEmpty())
        return false;
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Append);
}

} // namespace orvel::mainte
