#include "frmAssistBase.h"

#include "MasterRules.h"
#include "MasterUi.h"

#include "MsfGrid.h"
#include "Public.h"
#include "ScreenLook.h"
#include "rdo_cntl.h"

#include <QCheckBox>
#include <QHideEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
QString AutoCloseKey(const QObject *w)
{
    return w->objectName() + QStringLiteral("_CHB");
}
} // namespace

frmAssistBase::frmAssistBase(const QString &name, const QString &gridName, const QString &nameLabel,
                             QWidget *parent)
    : QDialog(parent), m_list(std::make_unique<rdo_cntl>())
{
    setObjectName(name);
    setAttribute(Qt::WA_DeleteOnClose);
    auto *g = new QGridLayout(this);

    m_txtName = new QLineEdit(this);
    m_txtName->setObjectName(QStringLiteral("txtName"));
    m_txtBikou = new QLineEdit(this);
    m_txtBikou->setObjectName(QStringLiteral("txtBikou"));
    m_cmbDispMax = new QComboBox(this);
    m_cmbDispMax->setObjectName(QStringLiteral("cmbDispMax"));
    m_cmbDispMax->addItems({QStringLiteral("100"), QStringLiteral("500"), QStringLiteral("1000"),
                            QString::fromUtf8("無制限")});
    auto *cmdSearch = new QPushButton(QString::fromUtf8("検索"), this);
    cmdSearch->setObjectName(QStringLiteral("cmdSearch"));
    g->addWidget(LabelFor(m_txtName, nameLabel), 0, 0);
    g->addWidget(m_txtName, 0, 1);
    g->addWidget(LabelFor(m_txtBikou, QString::fromUtf8("備考")), 1, 0);
    g->addWidget(m_txtBikou, 1, 1);
    g->addWidget(LabelFor(m_cmbDispMax, QString::fromUtf8("表示件数")), 0, 2);
    g->addWidget(m_cmbDispMax, 0, 3);
    g->addWidget(cmdSearch, 1, 3);

    m_grid = new MsfGrid(this);
    m_grid->setObjectName(gridName);
    m_grid->setSelectionMode(QAbstractItemView::ContiguousSelection);
    m_grid->setMinimumSize(520, 300);
    NameField(m_grid, QString::fromUtf8("検索結果"));
    g->addWidget(m_grid, 2, 0, 1, 4);

    m_chbAutoClose = new QCheckBox(QString::fromUtf8("選択すると、ウィンドウを閉じる"), this);
    m_chbAutoClose->setObjectName(QStringLiteral("chbAutoClose"));
    auto *cmdSelect = new QPushButton(QString::fromUtf8("選択"), this);
    cmdSelect->setObjectName(QStringLiteral("cmdSelect"));
    auto *cmdClose = new QPushButton(QString::fromUtf8("閉じる"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    g->addWidget(m_chbAutoClose, 3, 0, 1, 2);
    g->addWidget(cmdSelect, 3, 2);
    g->addWidget(cmdClose, 3, 3);

    connect(cmdSearch, &QPushButton::clicked, this, [this] { cmdSearch_Click(); });
    connect(cmdSelect, &QPushButton::clicked, this, [this] { cmdSelect_Click(); });
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    connect(m_grid, &QTableWidget::cellDoubleClicked, this, [this] { cmdSelect_Click(); });
}

frmAssistBase::~frmAssistBase() = default;

void frmAssistBase::Start()
{
    m_chbAutoClose->setChecked(LoadSettingFlag(objectName(), AutoCloseKey(this), false));
    cmdSearch_Click();
}

void frmAssistBase::Open(frmAssistBase *picker)
{
    OpenUnderBusy(picker);
}

void frmAssistBase::cmdSearch_Click()
{
    GuardDb([this] {
        QStringList conds{AssistRules::PrefixLike(NameColumn(), m_txtName->text()),
                          AssistRules::PrefixLike(BikouColumn(), m_txtBikou->text())};
        conds << ExtraConditions();
        m_list->setWhere(AssistRules::JoinConditions(conds));
        m_list->setLimit(AssistRules::LimitFromDispMax(m_cmbDispMax->currentText()));
        m_list->LoadGrid(m_grid);
    });
}

void frmAssistBase::cmdSelect_Click()
{
    const QPair<int, int> block = SelectedBlock(*m_grid);
    if (block.first < 0)
        return;
    GuardDb([&] { SelectRows(block.first, block.second); });
    if (m_chbAutoClose->isChecked())
        close();
}

void frmAssistBase::hideEvent(QHideEvent *event)
{
    QDialog::hideEvent(event);
    if (event->spontaneous())
        return; // minimised, not closed
    // However the picker went (its buttons, the title bar, Escape): the choice is kept and the
    // picker, used once, goes away. The busy flag is dropped by OpenUnderBusy.
    SaveSettingFlag(objectName(), AutoCloseKey(this), m_chbAutoClose->isChecked());
    if (testAttribute(Qt::WA_DeleteOnClose))
        deleteLater();
}
