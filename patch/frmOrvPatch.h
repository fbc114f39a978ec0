#pragma once

// The start window: the patch's edition and version, the installation folder (found or picked),
// and the start of the update.

#include "Public.h"

#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace patch {

class frmOrvPatch : public QWidget
{
    Q_OBJECT
public:
    explicit frmOrvPatch(const PatchEnv &env, QWidget *parent = nullptr);

    // Reads Vers.dat and finds the installation folder. False (after the message) when the
    // patch data is not valid: the program ends then.
    bool Load();

    // How the last update ended: 0 none yet, 1 completed, -1 failed.
    int RunState() const { return m_runState; }

private:
    void txtInstallDir_Change();
    void chbChangeDir_Click();
    void cmdSearch_Click();
    void cmdOK_Click();
    void ShowGuide(const QString &text, const QColor &color);

    PatchEnv m_env;
    PatchData m_data;
    int m_runState = 0;
    QLabel *m_title;
    QCheckBox *m_changeDir;
    QGroupBox *m_frame;
    QLineEdit *m_dir;
    QPushButton *m_search;
    QLabel *m_guide;
    QPushButton *m_ok;
    QPushButton *m_cancel;
};

} // namespace patch
