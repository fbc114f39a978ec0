#include "frmJobMan.h"

#include "Text.h"

#include "MasterRules.h"
#include "MasterUi.h"
#include "frmAssistBase.h"
#include "frmJobAssist.h"
#include "frmUserAssist_Job.h"

#include "MsfGrid.h"
#include "MsgBox.h"
#include "OrvelDefs.h"
#include "Public.h"
#include "RdoAdapters.h"
#include "ScreenLook.h"
#include "ScreenRegistry.h"
#include "SqlDialect.h"
#include "rdo_cntl.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>

namespace {
constexpr int kEmpListWidth = 360;
constexpr int kUserListWidth = 560;
} // namespace

const ModeRules &frmJobMan::Rules()
{
    static const ModeRules rules = [] {
        ModeRules r;
        r.Lock("txtId", "AANA")
            .Lock("txtName", "ANNA")
            .Lock("txtBikou", "ANNA")
            .Enable("cmdRegist", "NNMN")
            .Enable("cmdUpdate", "NFNN")
            .Enable("cmdDelete", "NFNN")
            .Enable("cmdSearch", "AANA")
            .Enable("msfEmpList", "AANA")
            .Enable("cmdAddEmpUser", "NNNF")
            .Enable("cmdDeleteEmpUser", "NNNF");
        return r;
    }();
    return rules;
}

frmJobMan::frmJobMan(QWidget *parent)
    : MasterScreen(QStringLiteral("frmJobMan"), U("部署管理"), parent),
      m_empList(std::make_unique<rdo_cntl>()), m_userList(std::make_unique<rdo_cntl>()),
      m_read(std::make_unique<rdo_cntl>()), m_write(std::make_unique<rdo_cntl>())
{
    BuildControls();
    SetupLists();
    m_mode->setMode(ModeInquiry);
    ShowModeSubTitle(ModeInquiry);
    GuardDb([this] {
        ShowEmpList();
        ApplyModeRules();
        if (m_msfEmpList->rows() > m_msfEmpList->fixedRows()) {
            m_msfEmpList->setCurrentRow(m_msfEmpList->fixedRows());
            msfEmpList_Click(m_msfEmpList->fixedRows());
        }
    });
}

frmJobMan::~frmJobMan()
{
    SaveLayouts();
}

void frmJobMan::BuildControls()
{
    auto *top = new QGridLayout(Body());
    AddModeBar(top);

    m_msfEmpList = new MsfGrid(Body());
    m_msfEmpList->setObjectName(QStringLiteral("msfEmpList"));
    m_msfEmpList->setMinimumSize(kEmpListWidth, 260);
    NameField(m_msfEmpList, U("部署一覧"));
    top->addWidget(m_msfEmpList, 1, 0, 2, 1);

    auto *rec = new QGroupBox(U("部署情報"), this);
    auto *g = new QGridLayout(rec);
    auto field = [&](const char *name, const char *caption, int row) {
        auto *e = new QLineEdit(rec);
        e->setObjectName(QString::fromLatin1(name));
        g->addWidget(LabelFor(e, U(caption)), row, 0);
        g->addWidget(e, row, 1, 1, 3);
        return e;
    };
    m_txtId = field("txtId", "部署ID", 0);
    m_txtName = field("txtName", "部署名", 1);
    m_txtBikou = field("txtBikou", "備考", 2);
    m_txtName->setMaxLength(50);
    m_txtBikou->setMaxLength(255);
    m_lblRegistDT = new QLabel(rec);
    m_lblRegistDT->setObjectName(QStringLiteral("lblRegistDT"));
    m_lblRefixDT = new QLabel(rec);
    m_lblRefixDT->setObjectName(QStringLiteral("lblRefixDT"));
    g->addWidget(new QLabel(U("登録日"), rec), 3, 0);
    g->addWidget(m_lblRegistDT, 3, 1);
    g->addWidget(new QLabel(U("更新日"), rec), 3, 2);
    g->addWidget(m_lblRefixDT, 3, 3);
    auto button = [&](QWidget *owner, const char *name, const char *caption) {
        auto *b = new QPushButton(U(caption), owner);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    auto *buttons = new QHBoxLayout;
    QPushButton *cmdRegist = button(rec, "cmdRegist", "登録");
    QPushButton *cmdUpdate = button(rec, "cmdUpdate", "更新");
    QPushButton *cmdDelete = button(rec, "cmdDelete", "削除");
    QPushButton *cmdSearch = button(rec, "cmdSearch", "検索");
    for (QPushButton *b : {cmdRegist, cmdUpdate, cmdDelete, cmdSearch})
        buttons->addWidget(b);
    g->addLayout(buttons, 4, 0, 1, 4);
    top->addWidget(rec, 1, 1);

    auto *members = new QGroupBox(U("所属ユーザ"), this);
    auto *mg = new QGridLayout(members);
    m_msfEmpUserList = new MsfGrid(members);
    m_msfEmpUserList->setObjectName(QStringLiteral("msfEmpUserList"));
    m_msfEmpUserList->setSelectionMode(QAbstractItemView::ContiguousSelection);
    m_msfEmpUserList->setMinimumSize(kUserListWidth, 200);
    NameField(m_msfEmpUserList, U("所属ユーザ"));
    QPushButton *cmdAdd = button(members, "cmdAddEmpUser", "所属ユーザの追加");
    QPushButton *cmdRemove = button(members, "cmdDeleteEmpUser", "所属ユーザの削除");
    mg->addWidget(m_msfEmpUserList, 0, 0, 1, 3);
    mg->addWidget(cmdAdd, 1, 1);
    mg->addWidget(cmdRemove, 1, 2);
    top->addWidget(members, 2, 1);

    SetupIdField(m_txtId, orvel::kEmpIdWidth, [this] { txtId_LostFocus(); });
    connect(cmdRegist, &QPushButton::clicked, this, [this] { GuardDb([this] { cmdRegist_Click(); }); });
    connect(cmdUpdate, &QPushButton::clicked, this, [this] { GuardDb([this] { cmdUpdate_Click(); }); });
    connect(cmdDelete, &QPushButton::clicked, this, [this] { GuardDb([this] { cmdDelete_Click(); }); });
    connect(cmdSearch, &QPushButton::clicked, this, [this] { cmdSearch_Click(); });
    connect(cmdAdd, &QPushButton::clicked, this, [this] { cmdAddEmpUser_Click(); });
    connect(cmdRemove, &QPushButton::clicked, this, [this] { GuardDb([this] { cmdDeleteEmpUser_Click(); }); });
    ConnectList(m_msfEmpList, [this](int row) { msfEmpList_Click(row); });
}

void frmJobMan::SetupLists()
{
    m_empList->setDataSource(QStringLiteral("telmar_v1.m_emp"));
    m_empList->SetField(QStringLiteral("emp_id"), QStringLiteral("00000"), true, true);
    m_empList->SetField(QStringLiteral("emp_name"));
    m_empList->SetField(QStringLiteral("emp_bikou"));
    m_empList->setOrder(QStringLiteral("emp_id asc"));
    SetGridHeader(*m_msfEmpList, {U("部署ID"), U("部署名"), U("備考")});
    m_msfEmpList->setColumnWidth(0, kEmpListWidth * 20 / 100);
    m_msfEmpList->setColumnWidth(1, kEmpListWidth * 70 / 100);
    m_msfEmpList->setColumnWidth(2, 0); // remarks are loaded but hidden
    KeepGridLayout(m_msfEmpList, QStringLiteral("1"));

    m_userList->setDataSource(QStringLiteral("telmar_v1.v_emp_user"));
    m_userList->SetField(QStringLiteral("user_id"), QStringLiteral("0000000000"), true, true);
    m_userList->SetField(QStringLiteral("user_name"));
    m_userList->SetField(QStringLiteral("user_yomi"));
    m_userList->SetField(QStringLiteral("user_bikou"));
    m_userList->setOrder(QStringLiteral("user_id asc"));
    SetGridHeader(*m_msfEmpUserList, {U("ユーザID"), U("ユーザ名"), U("ローマ字"), U("備考")});
    m_msfEmpUserList->setColumnWidth(0, kUserListWidth * 22 / 100);
    m_msfEmpUserList->setColumnWidth(1, kUserListWidth * 28 / 100);
    m_msfEmpUserList->setColumnWidth(2, kUserListWidth * 28 / 100);
    m_msfEmpUserList->setColumnWidth(3, kUserListWidth * 18 / 100);
    KeepGridLayout(m_msfEmpUserList, QStringLiteral("2"));

    for (rdo_cntl *db : {m_read.get(), m_write.get()}) {
        db->setDataSource(QStringLiteral("telmar_v1.m_emp"));
        db->SetBind(QStringLiteral("emp_id"), RdoText(m_txtId), true, true);
        db->SetBind(QStringLiteral("emp_name"), RdoText(m_txtName));
        db->SetBind(QStringLiteral("emp_bikou"), RdoText(m_txtBikou));
        db->SetBind(QStringLiteral("regist_dt"), RdoText(m_lblRegistDT));
        db->SetBind(QStringLiteral("refix_dt"), RdoText(m_lblRefixDT));
    }
}

// ---- lists --------------------------------------------------------------------------------------

void frmJobMan::ShowEmpList()
{
    ReloadListShowing(*m_empList, *m_msfEmpList, m_txtId->text());
}

void frmJobMan::ShowEmpUserList()
{
    m_userList->setWhere(QStringLiteral("emp_id = ") + orvel::SqlText(m_txtId->text()));
    m_userList->setWhereS(QStringLiteral("delete_flag = 0"));
    m_userList->LoadGrid(m_msfEmpUserList);
    m_msfEmpUserList->setCurrentCell(-1, -1);
}

void frmJobMan::Form_Activate()
{
    ShowModeSubTitle(mode()); // the title strip shows the mode of the screen in front
    GuardDb([this] {
        ShowEmpList();
        ShowEmpUserList();
    });
}

void frmJobMan::RefreshLists()
{
    GuardDb([this] {
        ShowEmpList();
        ShowEmpUserList();
    });
}

// ---- modes and the record ------------------------------------------------------------------------

void frmJobMan::ClearRecord()
{
    m_txtId->clear();
    m_txtName->clear();
    m_txtBikou->clear();
    m_lblRegistDT->clear();
    m_lblRefixDT->clear();
}

void frmJobMan::ApplyModeRules()
{
    const QString id = m_txtId->text();
    m_read->setWhere(QStringLiteral("emp_id = ") + orvel::SqlText(id));
    const bool found = !id.isEmpty() && m_read->LoadBind();
    Rules().Apply(this, mode(), found);
    if (mode() == ModeNew && found) {
        MsgBox::Show(U("この部署IDは既に登録されています。"), QMessageBox::Ok, QMessageBox::Information);
        m_txtId->clear();
        m_txtName->clear();
        m_txtBikou->clear();
        m_txtId->setFocus();
    }
}

void frmJobMan::txtId_LostFocus()
{
    GuardDb([this] {
        ApplyModeRules();
        ShowEmpUserList();
    });
}

void frmJobMan::msfEmpList_Click(int row)
{
    if (!ChooseListRow(*m_msfEmpList, row, m_txtId))
        return;
    ApplyModeRules();
    ShowEmpUserList();
}

void frmJobMan::EMP_SetEmpId(const QString &empId)
{
    GuardDb([&] {
        m_txtId->setText(empId);
        ApplyModeRules();
        ShowEmpUserList();
    });
}

void frmJobMan::USER_SetUserId(const QString &userId)
{
    if (!JobRules::MoveUser(userId, m_txtId->text()))
        MsgBox::Show(U("登録に失敗しました。"), QMessageBox::Ok, QMessageBox::Warning);
    GuardDb([this] { ShowEmpUserList(); });
}

// ---- buttons ----------------------------------------------------------------------------------------

void frmJobMan::cmdRegist_Click()
{
    const QString refused = JobRules::CheckRegist(m_txtId->text(), m_txtName->text());
    if (!refused.isEmpty()) {
        MsgBox::Show(refused, QMessageBox::Ok, QMessageBox::Information);
        return;
    }
    m_lblRegistDT->setText(TodayText());
    m_lblRefixDT->setText(TodayText());
    if (!m_write->InsertBind())
        MsgBox::Show(U("登録に失敗しました。") + u'\n' + m_write->errMsg().toString(), QMessageBox::Ok,
                     QMessageBox::Warning);
    ShowEmpList();
    m_mode->select(ModeDetails); // members can be added at once
}

void frmJobMan::cmdUpdate_Click()
{
    const QString refused = JobRules::CheckRegist(m_txtId->text(), m_txtName->text());
    if (!refused.isEmpty()) {
        MsgBox::Show(refused, QMessageBox::Ok, QMessageBox::Information);
        return;
    }
    m_lblRefixDT->setText(TodayText());
    m_write->UpdateBind();
    ShowEmpList();
}

void frmJobMan::cmdDelete_Click()
{
    const int members = m_msfEmpUserList->rows() - m_msfEmpUserList->fixedRows();
    const QString refused = JobRules::CheckDelete(m_txtId->text(), members);
    if (!refused.isEmpty()) {
        MsgBox::Show(refused, QMessageBox::Ok, QMessageBox::Information);
        return;
    }
    rdo_cntl del;
    del.setDataSource(QStringLiteral("telmar_v1.m_emp"));
    del.setWhere(QStringLiteral("emp_id = ") + orvel::SqlText(m_txtId->text()));
    if (!del.DeleteData())
        return;
    m_txtId->clear();
    m_txtName->clear();
    m_txtBikou->clear();
    ShowEmpList();
}

void frmJobMan::cmdSearch_Click()
{
    // The picker reports to the current screen: this one, whichever screen was opened last.
    SetCurrentScreen(this);
    frmAssistBase::Open(new frmJobAssist);
}

void frmJobMan::cmdAddEmpUser_Click()
{
    SetCurrentScreen(this);
    frmAssistBase::Open(new frmUserAssist_Job(m_txtId->text()));
}

void frmJobMan::cmdDeleteEmpUser_Click()
{
    const QPair<int, int> block = SelectedBlock(*m_msfEmpUserList);
    if (block.first < 0)
        return;
    QStringList ids;
    for (int r = block.first; r <= block.second; ++r)
        ids << m_msfEmpUserList->textMatrix(r, 0);
    const QStringList failed = JobRules::RemoveMembers(ids);
    for (int i = 0; i < failed.size(); ++i)
        MsgBox::Show(U("削除に失敗しました。"), QMessageBox::Ok, QMessageBox::Warning);
    ShowEmpUserList();
}

ORVEL_REGISTER_SCREEN(frmJobMan)
