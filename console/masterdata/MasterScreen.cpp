#include "MasterScreen.h"

#include "MasterUi.h"
#include "MsfGrid.h"
#include "ScreenLook.h"
#include "ScreenActivation.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLineEdit>

MasterScreen::MasterScreen(const QString &objectName, const QString &title, QWidget *parent)
    : QWidget(parent)
{
    setObjectName(objectName);
    setWindowTitle(title);
    // Activation of the screen in the main window reloads its lists (the handler runs after
    // construction, so the screen's own Form_Activate is reached).
    WatchActivation(this, [this](bool active) {
        if (active)
            Form_Activate();
    });
}

int MasterScreen::mode() const
{
    return m_mode->mode();
}

void MasterScreen::AddModeBar(QGridLayout *top)
{
    m_mode = new FuncModeBar(this);
    m_mode->onClick = [this](int mode) { opbFuncMode_Click(mode); };
    top->addWidget(m_mode, 0, 0, 1, 2);
}

void MasterScreen::closeEvent(QCloseEvent *event)
{
    SaveLayouts();
    QWidget::closeEvent(event);
}

bool MasterScreen::ChooseListRow(MsfGrid &list, int row, QLineEdit *id)
{
    if (row < list.fixedRows() || row >= list.rows())
        return false;
    HighlightRow(list, row, m_highlighted);
    id->setText(list.textMatrix(row, 0));
    return true;
}
