#include "PermitPanel.h"

#include "MasterUi.h"
#include "MsfGrid.h"
#include "ScreenLook.h"
#include "Text.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

PermitView::PermitView(QWidget *parent) : QTableView(parent)
{
    ApplyGridLook(this);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
}

int PermitView::layoutCols() const
{
    return model() ? model()->columnCount() : 0;
}

void PermitView::setFontPointSize(double points)
{
    QFont f = font();
    f.setPointSizeF(points);
    setFont(f);
}

PermitPanel::PermitPanel(PermitListModel::Side side, const QString &title, const Names &names, int widthPx,
                         const QList<int> &percent, QWidget *parent)
    : QGroupBox(title, parent), m_model(new PermitListModel(side, this)), m_view(new PermitView(this)),
      m_layout(new QVBoxLayout(this))
{
    m_view->setObjectName(QString::fromLatin1(names.list));
    m_view->setModel(m_model);
    m_view->setMinimumSize(widthPx, 100);
    NameField(m_view, title);
    for (int i = 0; i < percent.size(); ++i)
        m_view->setColumnWidth(i, widthPx * percent[i] / 100);
    m_layout->addWidget(m_view);

    auto button = [this](const char *name, const QString &caption) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    m_add = button(names.add, U(names.addCaption));
    m_withdraw = button(names.withdraw, U(names.withdrawCaption));
    m_send = button("cmdSendGUser", U("ゲートに反映"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton *b : {m_add, m_withdraw, m_send})
        buttons->addWidget(b);
    m_layout->addLayout(buttons);
}

void PermitPanel::AddAboveList(QWidget *control)
{
    control->setParent(this);
    m_layout->insertWidget(0, control);
}

void PermitPanel::Load(const QString &ownerId, bool includeUnused)
{
    try {
        m_model->Load(ownerId, includeUnused);
    } catch (...) {
        // The rows shown belong to the user or gate shown before: nothing of them may stay to be
        // withdrawn or sent for the one shown now.
        m_model->Clear();
        m_send->setEnabled(false);
        throw;
    }
    m_view->clearSelection();
    m_view->setCurrentIndex(QModelIndex());
}

QPair<int, int> PermitPanel::SelectedRows() const
{
    return ::SelectedRows(*m_view);
}
