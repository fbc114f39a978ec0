#pragma once

// The per-user settings store of the console: string values addressed by application name,
// section and key, kept in <config folder>/<application name>.conf. Screens switch the section
// to their own window name to save and restore their position and grid layouts. Positions and
// column widths are stored in twips.

#include <QString>

class QWidget;
class QSettings;
class MsfLayout;

class clSettingInfo
{
public:
    explicit clSettingInfo(const QString &appName = QStringLiteral("Orvel"),
                           const QString &sectionName = QStringLiteral("Any"));

    QString AppName() const { return m_appName; }
    void setAppName(const QString &name) { m_appName = name; }
    QString SectionName() const { return m_section; }
    void setSectionName(const QString &name) { m_section = name; }

    void SaveData(const QString &key, const QString &value);
    QString GetData(const QString &key, const QString &def) const;

    // Top, Left, width, height of the window (its frame inside a multiple-document area).
    void SavePos(const QWidget &window);
    // Applies each of the four values that was stored; absent ones leave the window as it is.
    void GetPos(QWidget &window) const;

    void SetMsfInfo(const MsfLayout &grid);
    // Restores the widths of the grid's current columns and its font size; columns beyond those
    // saved keep their widths. The saved column count is not read back.
    void GetMsfInfo(MsfLayout &grid) const;

    // Folder of the store; empty = the user's configuration folder. Tests point it elsewhere.
    static void SetStoreFolder(const QString &folder);
    QString StorePath() const;

private:
    QString m_appName;
    QString m_section;
};
