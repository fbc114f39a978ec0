#include "MasterScreen.h"

#include "MasterUi.h"
#include "ModeRules.h"
#include "MsfGrid.h"
#include "ScreenActivation.h"
#include "ScreenLook.h"
#include "rdo_cntl.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>

MasterScreen::MasterScreen(const QString &objectName, const QString &title, QWidget *parent) : QWidget(parent)
{
    setObjectName(objectName);
    setWindowTitle(title);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("scrBody"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    m_body = new QWidget(scroll);
    m_body->setObjectName(QStringLiteral("picBody"));
    scroll->setWidget(m_body);
    outer->addWidget(scroll);
    // Activation of the screen in the main window reloads its lists (the handler runs after
    // construction, so the screen's own Form_Activate is reached).
    WatchActivation(this, [this](bool active) {
        if (active)
            Form_Activate();
    });
}

QSize MasterScreen::sizeHint() const
{
    // Room for a vertical scroll bar too: a screen cut to the window's height must not need a
    // horizontal one as well.
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    return m_body->sizeHint().expandedTo(m_body->minimumSizeHint()) + QSize(bar + 4, 2);
}

int MasterScreen::mode() const
{
    return m_mode->mode();
}

void MasterScreen::AddModeBar(QGridLayout *top)
{
    m_mode = new FuncModeBar(m_body);
    m_mode->onClick = [this](int mode) { opbFuncMode_Click(mode); };
    top->addWidget(m_mode, 0, 0, 1, 2);
}

void MasterScreen::opbFuncMode_Click(int mode)
{
    ShowModeSubTitle(mode);
    GuardDb([&] {
        if (mode == ModeNew) {
            ClearRecord();
            IdField()->setFocus();
        }
        ApplyModeRules();
        ModeShown();
    });
}

void MasterScreen::KeepGridLayout(MsfLayout *grid, const QString &suffix)
{
    m_grids.append({grid, suffix});
    RestoreGridLayout(objectName() + suffix, *grid);
}

void MasterScreen::SaveLayouts()
{
    if (m_keepsPosition && m_positionRestored)
        SaveWindowPos(objectName(), *this);
    for (const auto &[grid, suffix] : m_grids)
        SaveGridLayout(objectName() + suffix, *grid);
}

void MasterScreen::closeEvent(QCloseEvent *event)
{
    SaveLayouts();
    QWidget::closeEvent(event);
}

void MasterScreen::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_keepsPosition && !m_positionRestored) {
        m_positionRestored = true;
        RestoreWindowPos(objectName(), *this);
    }
}

void MasterScreen::ConnectList(MsfGrid *list, std::function<void(int row)> chosen)
{
    connect(list, &QTableWidget::cellClicked, this,
            [list, chosen](int r, int) { GuardDb([&] { chosen(r + list->fixedRows()); }); });
    connect(list, &MsfGrid::rowChosenByKey, this, [chosen](int row) { GuardDb([&] { chosen(row); }); });
}

bool MasterScreen::ChooseListRow(MsfGrid &list, int row, QLineEdit *id)
{
    if (row < list.fixedRows() || row >= list.rows())
        return false;
    HighlightRow(list, row, m_highlighted);
    id->setText(list.textMatrix(row, 0));
    return true;
}

void MasterScreen::ReloadListShowing(rdo_cntl &source, MsfGrid &list, const QString &id)
{
    source.LoadGrid(&list);
    int row = -1;
    for (int r = list.fixedRows(); r < list.rows(); ++r) {
        for (int c = 1; c < list.cols(); ++c)
            list.setCellBackColor(r, c, QColor());
        if (!id.isEmpty() && list.textMatrix(r, 0) == id)
            row = r;
    }
    m_highlighted = -1;
    HighlightRow(list, row, m_highlighted);
    // The selection follows the record shown, so the keyboard moves on from there.
    const QSignalBlocker quiet(&list);
    if (row >= 0) {
        list.setCurrentRow(row);
        list.scrollToItem(list.item(row - list.fixedRows(), 0));
    } else {
        list.clearSelection();
        list.setCurrentCell(-1, -1);
    }
}
