#include "clSettingInfo.h"

#include "MsfLayout.h"
#include "UiUnits.h"

#include <QDir>
#include <QMdiSubWindow>
#include <QSettings>
#include <QStandardPaths>
#include <QWidget>

namespace {
QString &StoreFolder()
{
    static QString folder;
    return folder;
}

constexpr int kAbsent = -9999;

// The widget whose geometry is the window's position: an MDI child's frame, else the window.
QWidget *Frame(QWidget *w)
{
    if (auto *sub = qobject_cast<QMdiSubWindow *>(w->parentWidget()))
        return sub;
    return w;
}
} // namespace

clSettingInfo::clSettingInfo(const QString &appName, const QString &sectionName)
    : m_appName(appName), m_section(sectionName)
{
}

void clSettingInfo::SetStoreFolder(const QString &folder)
{
    StoreFolder() = folder;
}

QString clSettingInfo::StorePath() const
{
    QString folder = StoreFolder();
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QDir(folder).filePath(m_appName + QStringLiteral(".conf"));
}

void clSettingInfo::SaveData(const QString &key, const QString &value)
{
    QSettings s(StorePath(), QSettings::IniFormat);
    s.setValue(m_section + u'/' + key, value);
}

QString clSettingInfo::GetData(const QString &key, const QString &def) const
{
    QSettings s(StorePath(), QSettings::IniFormat);
    return s.value(m_section + u'/' + key, def).toString();
}

void clSettingInfo::SavePos(const QWidget &window)
{
    const QWidget *f = Frame(const_cast<QWidget *>(&window));
    SaveData(QStringLiteral("Top"), QString::number(PxToTwips(f->y())));
    SaveData(QStringLiteral("Left"), QString::number(PxToTwips(f->x())));
    SaveData(QStringLiteral("width"), QString::number(PxToTwips(f->width())));
    SaveData(QStringLiteral("height"), QString::number(PxToTwips(f->height())));
}

void clSettingInfo::GetPos(QWidget &window) const
{
    auto read = [this](const char *key) {
        bool ok = false;
        const int v = GetData(QString::fromLatin1(key), QString::number(kAbsent)).toInt(&ok);
        return ok ? v : kAbsent; // unreadable text counts as never saved
    };
    const int top = read("Top"), left = read("Left"), width = read("width"), height = read("height");
    QWidget *f = Frame(&window);
    QPoint pos = f->pos();
    QSize size = f->size();
    if (top != kAbsent)
        pos.setY(TwipsToPx(top));
    if (left != kAbsent)
        pos.setX(TwipsToPx(left));
    if (width != kAbsent)
        size.setWidth(TwipsToPx(width));
    if (height != kAbsent)
        size.setHeight(TwipsToPx(height));
    f->move(pos);
    f->resize(size);
}

void clSettingInfo::SetMsfInfo(const MsfLayout &grid)
{
    const int cols = grid.layoutCols();
    SaveData(QStringLiteral("cols"), QString::number(cols));
    for (int i = 0; i < cols; ++i)
        SaveData(QStringLiteral("ColW") + QString::number(i), QString::number(PxToTwips(grid.colWidthPx(i))));
    SaveData(QStringLiteral("FontSize"), QString::number(grid.fontPointSize()));
}

void clSettingInfo::GetMsfInfo(MsfLayout &grid) const
{
    for (int i = 0, n = grid.layoutCols(); i < n; ++i) {
        bool ok = false;
        const int twips = GetData(QStringLiteral("ColW") + QString::number(i), QString()).toInt(&ok);
        if (ok)
            grid.setColWidthPx(i, TwipsToPx(twips));
    }
    bool ok = false;
    const double size = GetData(QStringLiteral("FontSize"), QString()).toDouble(&ok);
    if (ok && size > 0)
        grid.setFontPointSize(size);
}
