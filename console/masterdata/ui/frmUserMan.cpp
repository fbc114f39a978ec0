#include "frmUserMan.h"

#include "Text.h"

#include "MasterRules.h"
#include "MasterUi.h"
#include "PermitPanel.h"
#include "PermitRules.h"
#include "frmAssistBase.h"
#include "frmGateAssist.h"
#include "frmUserAssist.h"

#include "biometric/ui/frmCardAssist.h"
#include "biometric/ui/frmFpDelete.h"
#include "biometric/ui/frmFpEnroll.h"
#include "biometric/ui/frmFpVerify.h"

#include "MsfGrid.h"
#include "MsgBox.h"
#include "OrvelDefs.h"
#include "Public.h"
#include "RdoAdapters.h"
#include "ScreenLook.h"
#include "ScreenRegistry.h"
#include "SiteFolder.h"
#include "SqlDialect.h"
#include "UiUnits.h"
#include "rdo_cntl.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPixmap>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>

namespace {
constexpr int kUserListWidth = 330;
constexpr int kPermitListWidth = 560;
constexpr int kFingers = 6;
constexpr int kFpPictureWidth = 44;
constexpr int kFpPictureHeight = 60;
const char kFpEmptyLook[] = "QLabel { background: #d8d8d8; border: 1px solid #808080; }";
const char kFpEnrolledLook[] = "QLabel { background: #70c070; border: 2px solid #206020; }";
constexpr quint32 kInfoBlue = 0xC00000; // 0x00BBGGRR

// The finger picture: the bitmap beside the program, or the one the site set-up wrote.
QString FpImageFile()
{
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/FpImage.bmp");
    return QFileInfo::exists(beside) ? beside : orvel::SitePath(QStringLiteral("FpImage.bmp"));
}
} // namespace

const ModeRules &frmUserMan::Rules()
{
    static const ModeRules rules = [] {
        ModeRules r;
        r.Lock("txtId", "AANA");
        for (const char *f : {"txtName", "txtNameYomi", "txtBikou", "cmbEmp"})
            r.Lock(QString::fromLatin1(f), "ANNA");
        r.Enable("cmdRegist", "NNMN")
            .Enable("cmdUpdate", "NFNN")
            .Enable("cmdDelete", "NFNN")
            .Enable("cmdSearch", "AANA")
            .Enable("msfUserList", "AANA")
            .Enable("cmbEmp2", "AANA", "!chbAllUserList");
        // The detail area: what mode 3 unlocks for an existing user.
        // cmdSendGUser is decided by the permit list each time it loads.
        for (const char *d : {"chbAuthType_1", "chbAuthType_2", "opbGAuthority_0", "opbGAuthority_1", "cmdAddUseGate",
                              "cmdDeleteUseGate", "opbFpFuncMode_0", "opbFpFuncMode_1", "opbFpFuncMode_2"})
            r.Enable(QString::fromLatin1(d), "NNNF");
        // The card buttons are decided with the permit list (SetCardButtons).
        for (int n = 0; n < kFingers; ++n) {
            r.Enable(QStringLiteral("picFpImg_%1").arg(n), "NNNF");
            r.Enable(QStringLiteral("cmdFpImg_%1").arg(n), "NNNF");
        }
        return r;
    }();
    return rules;
}

frmUserMan::frmUserMan(QWidget *parent)
    : MasterScreen(QStringLiteral("frmUserMan"), U("ユーザ管理"), parent),
      m_userList(std::make_unique<rdo_cntl>()), m_emp(std::make_unique<rdo_cntl>()),
      m_emp2(std::make_unique<rdo_cntl>())
{
    BuildControls();
    SetupDb();
    GuardDb([this] {
        EmpRefresh();
        ClearRecord();
        m_mode->setMode(ModeInquiry);
        ShowModeSubTitle(ModeInquiry);
        m_opbFpFuncMode[0]->setChecked(true);
        ApplyModeRules();
        ShowuserList();
    });
}

frmUserMan::~frmUserMan()
{
    SaveLayouts();
}

void frmUserMan::BuildControls()
{
    auto *top = new QGridLayout(Body());
    AddModeBar(top);

    // ---- user list with its filter ------------------------------------------------------------
    auto *listBox = new QGroupBox(U("ユーザ一覧"), this);
    auto *lg = new QGridLayout(listBox);
    m_cmbEmp2 = new QComboBox(listBox);
    m_cmbEmp2->setObjectName(QStringLiteral("cmbEmp2"));
    m_chbAllUserList = new QCheckBox(U("全ユーザ表示"), listBox);
    m_chbAllUserList->setObjectName(QStringLiteral("chbAllUserList"));
    m_msfUserList = new MsfGrid(listBox);
    m_msfUserList->setObjectName(QStringLiteral("msfUserList"));
    m_msfUserList->setMinimumSize(kUserListWidth, 200);
    NameField(m_msfUserList, U("ユーザ一覧"));
    lg->addWidget(LabelFor(m_cmbEmp2, U("所属部署")), 0, 0);
    lg->addWidget(m_cmbEmp2, 0, 1);
    lg->addWidget(m_chbAllUserList, 1, 1);
    lg->addWidget(m_msfUserList, 2, 0, 1, 2);
    top->addWidget(listBox, 1, 0, 3, 1);

    // ---- the record -----------------------------------------------------------------------------
    auto *rec = new QGroupBox(U("ユーザ情報"), this);
    auto *g = new QGridLayout(rec);
    auto field = [&](const char *name, const char *caption, int row, int maxLen) {
        auto *e = new QLineEdit(rec);
        e->setObjectName(QString::fromLatin1(name));
        e->setMaxLength(maxLen);
        g->addWidget(LabelFor(e, U(caption)), row, 0);
        g->addWidget(e, row, 1, 1, 3);
        return e;
    };
    m_txtId = field("txtId", "ユーザID", 0, orvel::kUserIdWidth);
    m_txtName = field("txtName", "ユーザ名", 1, 50);
    m_txtNameYomi = field("txtNameYomi", "ローマ字", 2, 50);
    m_txtBikou = field("txtBikou", "備考", 3, 255);
    m_cmbEmp = new QComboBox(rec);
    m_cmbEmp->setObjectName(QStringLiteral("cmbEmp"));
    g->addWidget(LabelFor(m_cmbEmp, U("所属部署")), 4, 0);
    g->addWidget(m_cmbEmp, 4, 1, 1, 3);
    m_lblRegistDT = new QLabel(rec);
    m_lblRegistDT->setObjectName(QStringLiteral("lblRegistDT"));
    m_lblRefixDT = new QLabel(rec);
    m_lblRefixDT->setObjectName(QStringLiteral("lblRefixDT"));
    g->addWidget(new QLabel(U("登録日"), rec), 5, 0);
    g->addWidget(m_lblRegistDT, 5, 1);
    g->addWidget(new QLabel(U("更新日"), rec), 5, 2);
    g->addWidget(m_lblRefixDT, 5, 3);

    auto *buttons = new QHBoxLayout;
    auto button = [&](QWidget *owner, const char *name, const char *caption) {
        auto *b = new QPushButton(U(caption), owner);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    QPushButton *cmdRegist = button(rec, "cmdRegist", "登録");
    QPushButton *cmdUpdate = button(rec, "cmdUpdate", "更新");
    QPushButton *cmdDelete = button(rec, "cmdDelete", "削除");
    QPushButton *cmdSearch = button(rec, "cmdSearch", "検索");
    for (QPushButton *b : {cmdRegist, cmdUpdate, cmdDelete, cmdSearch})
        buttons->addWidget(b);
    g->addLayout(buttons, 6, 0, 1, 4);
    m_lblInfo = new QLabel(rec);
    m_lblInfo->setObjectName(QStringLiteral("lblInfo"));
    g->addWidget(m_lblInfo, 7, 0, 1, 4);
    top->addWidget(rec, 1, 1);

    // ---- detail area: authority and methods, card, fingerprints, permits -----------------------
    auto *detail = new QWidget(this);
    auto *dg = new QGridLayout(detail);
    dg->setContentsMargins(0, 0, 0, 0);
    auto *auth = new QGroupBox(U("ゲート権限・認証方法"), detail);
    auto *ag = new QHBoxLayout(auth);
    auto *authGroup = new QButtonGroup(auth);
    const char *authCaptions[2] = {"ユーザ", "管理者"};
    for (int i = 0; i < 2; ++i) {
        m_opbGAuthority[i] = new QRadioButton(U(authCaptions[i]), auth);
        m_opbGAuthority[i]->setObjectName(QStringLiteral("opbGAuthority_%1").arg(i));
        m_opbGAuthority[i]->setProperty("index", i);
        authGroup->addButton(m_opbGAuthority[i], i);
        ag->addWidget(m_opbGAuthority[i]);
    }
    ag->addSpacing(20);
    const char *methodCaptions[3] = {nullptr, "指紋", "ＩＣカード"};
    for (int i = 1; i <= 2; ++i) {
        m_chbAuthType[i] = new QCheckBox(U(methodCaptions[i]), auth);
        m_chbAuthType[i]->setObjectName(QStringLiteral("chbAuthType_%1").arg(i));
        m_chbAuthType[i]->setProperty("index", i);
        ag->addWidget(m_chbAuthType[i]);
        // clicked comes only from the operator; setChecked while a record loads writes nothing.
        connect(m_chbAuthType[i], &QCheckBox::clicked, this, [this] { GuardDb([this] { chbAuthType_Click(); }); });
    }
    ag->addStretch();
    connect(authGroup, &QButtonGroup::idClicked, this,
            [this](int id) { GuardDb([&] { opbGAuthority_Click(id); }); });
    dg->addWidget(auth, 0, 0, 1, 2);

    BuildCredentialAreas(dg);

    m_permits = new PermitPanel(PermitListModel::Side::UserGates, U("通行許可ゲート"),
                                {"msfUserGateList", "cmdAddUseGate", "通行許可ゲートの追加", "cmdDeleteUseGate",
                                 "通行許可ゲートの削除"},
                                kPermitListWidth, {12, 14, 20, 11, 14, 10}, detail);
    m_chbAllGUserList = new QCheckBox(
        U("未接続ゲートへの通行許可情報も表示（ゲートに反映するには、このチェックを外して下さい。）"), m_permits);
    m_chbAllGUserList->setObjectName(QStringLiteral("chbAllGUserList"));
    m_permits->AddAboveList(m_chbAllGUserList);
    connect(m_permits->addButton(), &QPushButton::clicked, this, [this] { cmdAddUseGate_Click(); });
    connect(m_permits->withdrawButton(), &QPushButton::clicked, this,
            [this] { GuardDb([this] { cmdDeleteUseGate_Click(); }); });
    connect(m_permits->sendButton(), &QPushButton::clicked, this, [this] { GuardDb([this] { cmdSendGUser_Click(); }); });
    dg->addWidget(m_permits, 3, 0, 1, 2);
    top->addWidget(detail, 2, 1);
    top->setRowStretch(3, 1);

    SetupIdField(m_txtId, orvel::kUserIdWidth, [this] { txtId_LostFocus(); });
    connect(cmdRegist, &QPushButton::clicked, this, [this] { GuardDb([this] { cmdRegist_Click(); }); });
    connect(cmdUpdate, &QPushButton::clicked, this, [this] { GuardDb([this] { cmdUpdate_Click(); }); });
    connect(cmdDelete, &QPushButton::clicked, this, [this] { GuardDb([this] { cmdDelete_Click(); }); });
    connect(cmdSearch, &QPushButton::clicked, this, [this] { cmdSearch_Click(); });
    ConnectList(m_msfUserList, [this](int row) { msfUserList_Click(row); });
    connect(m_cmbEmp2, &QComboBox::activated, this, [this] { GuardDb([this] { ShowuserList(); }); });
    connect(m_chbAllUserList, &QCheckBox::clicked, this, [this] {
        m_cmbEmp2->setEnabled(!m_chbAllUserList->isChecked() && mode() != ModeNew);
        GuardDb([this] { ShowuserList(); });
    });
    connect(m_chbAllGUserList, &QCheckBox::clicked, this, [this] { GuardDb([this] { ShowGateUserList(); }); });
}

void frmUserMan::SetupDb()
{
    m_userList->setDataSource(QStringLiteral("telmar_v1.v_emp_user"));
    m_userList->SetField(QStringLiteral("user_id"), QStringLiteral("0000000000"), true, true);
    m_userList->SetField(QStringLiteral("user_name"));
    m_userList->SetField(QStringLiteral("user_yomi"));
    m_userList->setOrder(QStringLiteral("user_id asc"));
    SetGridHeader(*m_msfUserList, {U("ユーザID"), U("ユーザ名"), U("ローマ字")});
    // The three columns share the list, the roman name included (it must be readable to choose).
    m_msfUserList->setColumnWidth(0, kUserListWidth * 28 / 100);
    m_msfUserList->setColumnWidth(1, kUserListWidth * 34 / 100);
    m_msfUserList->setColumnWidth(2, kUserListWidth * 32 / 100);
    KeepGridLayout(m_msfUserList, QStringLiteral("1"));

    KeepGridLayout(m_permits->view(), QStringLiteral("2"));

    for (rdo_cntl *emp : {m_emp.get(), m_emp2.get()}) {
        emp->setDataSource(QStringLiteral("telmar_v1.m_emp"));
        emp->setDataField(QStringLiteral("emp_name"));
        emp->setCodeField(QStringLiteral("emp_id"));
        emp->setOrder(QStringLiteral("emp_id ASC"));
    }
}

// ---- lists and combos -----------------------------------------------------------------------------

void frmUserMan::ShowuserList()
{
    if (m_chbAllUserList->isChecked()) {
        m_userList->setWhere(QStringLiteral("delete_flag = 0")); // every department
    } else {
        const int i = m_cmbEmp2->currentIndex();
        const int code = i >= 0 ? RdoList(m_cmbEmp2)->itemData(i) : 0;
        m_userList->setWhere(QStringLiteral("emp_id = ") +
                             orvel::SqlText(orvel::PadId(QString::number(code), orvel::kEmpIdWidth)));
        m_userList->setWhereS(QStringLiteral("delete_flag = 0"));
    }
    ReloadListShowing(*m_userList, *m_msfUserList, m_txtId->text());
}

void frmUserMan::ShowGateUserList()
{
    m_permits->Load(m_txtId->text(), m_chbAllGUserList->isChecked());
    SetSendButton();
    SetCardButtons();
}

void frmUserMan::SetSendButton()
{
    // Rows of gates out of use cannot be sent: the wider view never sends.
    m_permits->sendButton()->setEnabled(
        PermitRules::SendEnabled(mode(), !m_chbAllGUserList->isChecked(), m_permits->model()->SyncDisps()));
}

void frmUserMan::RefreshLists()
{
    GuardDb([this] {
        ShowuserList();
        ShowGateUserList();
    });
}

int frmUserMan::PermitRows() const
{
    return m_permits->Rows();
}

void frmUserMan::SelectEmp(QComboBox *combo, int code)
{
    RdoListControl *list = RdoList(combo);
    int found = -1;
    for (int i = 0; i < list->itemCount() && found < 0; ++i)
        if (list->itemData(i) == code)
            found = i;
    combo->setCurrentIndex(found >= 0 ? found : (combo->count() > 0 ? 0 : -1));
}

void frmUserMan::EmpRefresh()
{
    auto codeOf = [](QComboBox *c) {
        const int i = c->currentIndex();
        return i >= 0 ? RdoList(c)->itemData(i) : 0;
    };
    const int code1 = codeOf(m_cmbEmp);
    const int code2 = codeOf(m_cmbEmp2);
    // Selections are restored by item code: LoadCombo's own selection takes 16-bit codes only.
    m_emp->LoadCombo(RdoList(m_cmbEmp));
    m_emp2->LoadCombo(RdoList(m_cmbEmp2));
    SelectEmp(m_cmbEmp, code1);
    SelectEmp(m_cmbEmp2, code2);
}

void frmUserMan::Form_Activate()
{
    ShowModeSubTitle(mode()); // the title strip shows the mode of the screen in front
    GuardDb([this] {
        EmpRefresh();
        ApplyModeRules();
        ShowuserList();
    });
}

void frmUserMan::ShowInfo(const QString &text, quint32 colour, bool beep)
{
    m_lblInfo->setText(text);
    QPalette pal = m_lblInfo->palette();
    pal.setColor(QPalette::WindowText, BgrColor(colour));
    m_lblInfo->setPalette(pal);
    if (beep)
        QApplication::beep();
}

// ---- modes and the record ---------------------------------------------------------------------------

void frmUserMan::ClearRecord()
{
    m_txtId->clear();
    m_user = UserRules::Record();
    ShowRecord();
    if (m_cmbEmp->count() > 0)
        m_cmbEmp->setCurrentIndex(0);
    m_found = false;
    ShowFpImages();
    ShowGateUserList();
}

void frmUserMan::ShowRecord()
{
    m_txtName->setText(m_user.name);
    m_txtNameYomi->setText(m_user.yomi);
    m_txtBikou->setText(m_user.bikou);
    m_txtCardID->setText(m_user.guserId);
    m_lblRegistDT->setText(m_user.registDt);
    m_lblRefixDT->setText(m_user.refixDt);
    SetAuthorityControls();
}

void frmUserMan::TakeInput()
{
    m_user.userId = m_txtId->text();
    m_user.name = m_txtName->text();
    m_user.yomi = m_txtNameYomi->text();
    m_user.bikou = m_txtBikou->text();
    // The department is written as chosen in the combo; a user read with a department that no
    // longer exists is shown, and then stored, under the first one.
    const int i = m_cmbEmp->currentIndex();
    if (i >= 0)
        m_user.empId = orvel::PadId(QString::number(RdoList(m_cmbEmp)->itemData(i)), orvel::kEmpIdWidth);
    else if (m_user.empId.isEmpty())
        m_user.empId = QString::fromLatin1(orvel::kNoEmpId);
}

void frmUserMan::SetAuthorityControls()
{
    m_opbGAuthority[m_user.gauthority == 2 ? 1 : 0]->setChecked(true);
    m_chbAuthType[1]->setChecked(m_user.gauthType & orvel::gauth_type::Fingerprint);
    m_chbAuthType[2]->setChecked(m_user.gauthType & orvel::gauth_type::Card);
}

void frmUserMan::SetPlaceholderCard()
{
    const QString id = m_txtId->text();
    // A user without a real card carries the placeholder of the ID shown, also after the ID
    // was corrected: a placeholder of another ID would give this user someone else's gate ID.
    if (!id.isEmpty() && !UserRules::HasCard(GetEdition(), m_user.guserId)) {
        m_user.guserId = orvel::PlaceholderGuserId(GetEdition(), id);
        m_txtCardID->setText(m_user.guserId);
    }
}

void frmUserMan::ApplyModeRules()
{
    const QString id = m_txtId->text();
    UserRules::Record stored;
    QSet<QString> flags;
    if (m_chbAllUserList->isChecked())
        flags.insert(QStringLiteral("chbAllUserList"));
    bool found = false;
    try {
        found = UserRules::LoadRecord(id, &stored);
    } catch (...) {
        // The user shown before is not the one typed now: nothing may be written or sent as if
        // the ID had been read.
        m_found = false;
        Rules().Apply(this, mode(), false, flags);
        m_permits->sendButton()->setEnabled(false);
        SetCardButtons();
        throw;
    }
    m_found = found;
    if (found) {
        // A user not found leaves the fields as typed (the new mode keeps them for the register).
        m_user = stored;
        m_txtId->setText(m_user.userId);
        ShowRecord();
        SelectEmp(m_cmbEmp, m_user.empId.toInt());
    }
    SetAuthorityControls();
    ShowFpImages();
    Rules().Apply(this, mode(), found, flags);
    // The permit list always belongs to the user shown: the delete checks and the method
    // validation read it.
    ShowGateUserList();

    if (mode() != ModeNew || !found)
        return;
    if (m_user.deleteFlag == 0) {
        MsgBox::Show(U("このユーザIDは既に登録されています。"), QMessageBox::Ok, QMessageBox::Information);
        ClearRecord();
        m_txtId->setFocus();
        return;
    }
    const auto answer = MsgBox::Show(U("以前に使用されたことのあるIDです。使用しますか？"),
                                     QMessageBox::Yes | QMessageBox::No, QMessageBox::Question);
    if (answer != QMessageBox::Yes) {
        ClearRecord();
        m_txtId->setFocus();
        return;
    }
    TakeInput();
    m_user.refixDt = TodayText();
    m_user.deleteFlag = 0;
    UserRules::UpdateRecord(m_user);
    m_lblRefixDT->setText(m_user.refixDt);
    ShowuserList();
    m_mode->select(ModeDetails);
}

void frmUserMan::txtId_LostFocus()
{
    GuardDb([this] {
        SetPlaceholderCard();
        ApplyModeRules();
    });
}

void frmUserMan::msfUserList_Click(int row)
{
    if (!ChooseListRow(*m_msfUserList, row, m_txtId))
        return;
    ApplyModeRules();
}

void frmUserMan::USER_SetUserId(const QString &userId)
{
    GuardDb([&] {
        m_txtId->setText(orvel::PadId(userId, orvel::kUserIdWidth));
        ApplyModeRules();
    });
}

QString frmUserMan::Validate()
{
    UserRules::Input in;
    in.userId = m_txtId->text();
    in.name = m_txtName->text();
    in.yomi = m_txtNameYomi->text();
    in.fingerprint = m_chbAuthType[1]->isChecked();
    in.card = m_chbAuthType[2]->isChecked();
    in.hasTemplate = in.fingerprint && UserRules::HasTemplate(in.userId);
    in.hasCard = UserRules::HasCard(GetEdition(), m_user.guserId);
    in.permitRows = PermitRows();
    return UserRules::Validate(in);
}

// ---- buttons ------------------------------------------------------------------------------------------

void frmUserMan::cmdRegist_Click()
{
    const QString refused = Validate();
    if (!refused.isEmpty()) {
        MsgBox::Show(refused, QMessageBox::Ok, QMessageBox::Information);
        return;
    }
    SetPlaceholderCard();
    TakeInput();
    m_user.registDt = TodayText();
    m_user.refixDt = m_user.registDt;
    m_user.deleteFlag = 0;
    ShowRecord();
    QString error;
    if (!UserRules::InsertRecord(m_user, &error))
        MsgBox::Show(U("登録に失敗しました。") + u'\n' + error, QMessageBox::Ok, QMessageBox::Warning);
    ShowuserList();
    ShowGateUserList();
    m_mode->select(ModeDetails);
}

void frmUserMan::cmdUpdate_Click()
{
    SaveRecord();
}

bool frmUserMan::SaveRecord()
{
    const QString refused = Validate();
    if (!refused.isEmpty()) {
        MsgBox::Show(refused, QMessageBox::Ok, QMessageBox::Information);
        return false;
    }
    TakeInput();
    m_user.refixDt = TodayText();
    UserRules::UpdateRecord(m_user);
    m_lblRefixDT->setText(m_user.refixDt);
    ShowuserList();
    return true;
}

void frmUserMan::cmdDelete_Click()
{
    if (PermitRows() > 0) {
        MsgBox::Show(U("通行許可ゲートがある為、削除できません。"), QMessageBox::Ok, QMessageBox::Information);
        return;
    }
    // Permits to gates that are not in use are hidden from the list; look with them included.
    const bool wasAll = m_chbAllGUserList->isChecked();
    m_chbAllGUserList->setChecked(true);
    ShowGateUserList();
    if (PermitRows() > 0) {
        MsgBox::Show(U("未接続ゲートへの通行許可ゲートがある為、削除できません。"), QMessageBox::Ok,
                     QMessageBox::Information);
        return;
    }
    m_chbAllGUserList->setChecked(wasAll);
    ShowGateUserList();

    if (MsgBox::Show(U("ユーザを削除します。よろしいですか？"), QMessageBox::Yes | QMessageBox::No,
                     QMessageBox::Information) != QMessageBox::Yes)
        return;
    if (UserRules::DeleteUser(m_txtId->text()) != UserRules::DeleteResult::Deleted) {
        MsgBox::Show(U("削除に失敗しました。"), QMessageBox::Ok, QMessageBox::Warning);
        return;
    }
    ClearRecord();
    ShowuserList();
    ApplyModeRules();
}

void frmUserMan::cmdSearch_Click()
{
    SetCurrentScreen(this);
    frmAssistBase::Open(new frmUserAssist);
}

// ---- immediate authority changes (mode 3) -------------------------------------------------------------

void frmUserMan::opbGAuthority_Click(int index)
{
    const int chosen = index == 0 ? 1 : 2;
    // Clicking the authority already held changes nothing: no write, no permits to resend.
    if (chosen == m_user.gauthority)
        return;
    m_user.gauthority = chosen;
    AuthorityChanged(false);
}

void frmUserMan::chbAuthType_Click()
{
    AuthorityChanged(true);
}

void frmUserMan::AuthorityChanged(bool methods)
{
    const QString refused = Validate();
    if (!refused.isEmpty()) {
        MsgBox::Show(refused, QMessageBox::Ok, QMessageBox::Information);
        // Nothing was written, so the screen shows the stored authority and methods again.
        const QString gauthority = UserRules::StoredAuthority(m_txtId->text());
        if (!gauthority.isEmpty())
            m_user.gauthority = gauthority.trimmed().toInt();
        SetAuthorityControls();
        return;
    }
    if (methods)
        m_user.gauthType = UserRules::GAuthType(m_chbAuthType[1]->isChecked(), m_chbAuthType[2]->isChecked());
    TakeInput();
    m_user.refixDt = TodayText();
    UserRules::UpdateRecord(m_user);
    m_lblRefixDT->setText(m_user.refixDt);
    if (!UserRules::MarkPermitsForUpdate(m_txtId->text()))
        MsgBox::Show(U("更新に失敗しました。"), QMessageBox::Ok, QMessageBox::Warning);
    ShowGateUserList();
}

// ---- gate permits -----------------------------------------------------------------------------------

void frmUserMan::cmdAddUseGate_Click()
{
    if (m_user.gauthType == 0) {
        MsgBox::Show(U("認証方法を選択してください。"), QMessageBox::Ok, QMessageBox::Information);
        return;
    }
    SetCurrentScreen(this);
    frmAssistBase::Open(new frmGateAssist(QStringLiteral("use_flag = 1"), U(" ゲート選択補助（接続中のゲート）")));
}

void frmUserMan::GATE_SetGateId(const QString &gateId)
{
    // A user without a method could not pass the gate; the picker is only opened for one with.
    if (m_txtId->text().isEmpty() || m_user.gauthType == 0)
        return;
    GuardDb([&] {
        if (!PermitRules::AddPermit(m_txtId->text(), orvel::PadId(gateId, orvel::kGateIdWidth)))
            MsgBox::Show(U("登録に失敗しました。"), QMessageBox::Ok, QMessageBox::Warning);
        ShowGateUserList();
    });
}

void frmUserMan::cmdDeleteUseGate_Click()
{
    const QPair<int, int> block = m_permits->SelectedRows();
    if (block.first < 0)
        return;
    for (int r = block.first; r <= block.second; ++r)
        if (!PermitRules::WithdrawPermit(m_txtId->text(), m_permits->model()->Key(r)))
            MsgBox::Show(U("削除に失敗しました。"), QMessageBox::Ok, QMessageBox::Warning);
    ShowGateUserList();
}

void frmUserMan::cmdSendGUser_Click()
{
    m_permits->sendButton()->setEnabled(false);
    {
        const MainWindowDisabled off;
        const MainTimersPaused paused({QStringLiteral("timSrvChkSend")});
        GUserRecord user;
        user.user_id = m_txtId->text();
        user.guser_id = m_user.guserId;
        user.gauthority = qint16(m_user.gauthority);
        user.gauth_type = qint16(m_user.gauthType);
        const QList<PermitRules::SendRow> rows = m_permits->model()->UserSendRows(user);
        // One user to every listed gate: each gate under its own lock, and a gate that does not
        // answer its check is not sent to.
        PermitRules::SendHooks hooks;
        hooks.rowDone = [this](int i, PermitRules::RowEnd end) {
            if (end == PermitRules::RowEnd::Sent)
                m_permits->model()->MarkSent(i);
        };
        hooks.tell = [](const QString &text) { MsgBox::Show(text, QMessageBox::Ok, QMessageBox::Warning); };
        PermitRules::SendRows(rows, PermitRules::SendPolicy{}, hooks);
        ShowGateUserList();
    }
}

// ---- the IC card area ------------------------------------------------------------------------------

void frmUserMan::BuildCredentialAreas(QGridLayout *grid)
{
    QWidget *owner = grid->parentWidget();
    auto *card = new QGroupBox(U("ICカード認証情報"), owner);
    card->setObjectName(QStringLiteral("fraCard"));
    auto *cg = new QGridLayout(card);
    m_txtCardID = new QLineEdit(card);
    m_txtCardID->setObjectName(QStringLiteral("txtCardID"));
    SetFieldLocked(m_txtCardID, true);
    m_txtCardStatus = new QLineEdit(card);
    m_txtCardStatus->setObjectName(QStringLiteral("txtCARD_XXX"));
    SetFieldLocked(m_txtCardStatus, true);
    NameField(m_txtCardStatus, U("ICカードの状態"));
    cg->addWidget(LabelFor(m_txtCardID, U("カードID")), 0, 0);
    cg->addWidget(m_txtCardID, 0, 1, 1, 3);
    cg->addWidget(m_txtCardStatus, 1, 0, 1, 4);
    auto cardButton = [&](const char *name, const char *caption) {
        auto *b = new QPushButton(U(caption), card);
        b->setObjectName(QString::fromLatin1(name));
        b->setEnabled(false);
        return b;
    };
    m_cmdReadIC = cardButton("cmdReadIC", "カード登録");
    m_cmdVerifyIC = cardButton("cmdVerifyIC", "カード照合");
    m_cmdDeleteIC = cardButton("cmdDeleteIC", "カード削除");
    cg->addWidget(m_cmdReadIC, 2, 1);
    cg->addWidget(m_cmdVerifyIC, 2, 2);
    cg->addWidget(m_cmdDeleteIC, 2, 3);
    cg->setRowStretch(3, 1);
    connect(m_cmdReadIC, &QPushButton::clicked, this, [this] { cmdReadIC_Click(); });
    connect(m_cmdVerifyIC, &QPushButton::clicked, this, [this] { cmdVerifyIC_Click(); });
    connect(m_cmdDeleteIC, &QPushButton::clicked, this, [this] { GuardDb([this] { cmdDeleteIC_Click(); }); });
    grid->addWidget(card, 1, 0, 1, 2);

    auto *fp = new QGroupBox(U("指紋認証情報"), owner);
    fp->setObjectName(QStringLiteral("fraFp"));
    auto *fg = new QGridLayout(fp);
    auto *modes = new QHBoxLayout;
    auto *modeGroup = new QButtonGroup(fp);
    const char *modeCaptions[3] = {"指紋照合", "指紋登録", "指紋削除"};
    for (int i = 0; i < 3; ++i) {
        m_opbFpFuncMode[i] = new QRadioButton(U(modeCaptions[i]), fp);
        m_opbFpFuncMode[i]->setObjectName(QStringLiteral("opbFpFuncMode_%1").arg(i));
        m_opbFpFuncMode[i]->setProperty("index", i);
        modeGroup->addButton(m_opbFpFuncMode[i], i);
        modes->addWidget(m_opbFpFuncMode[i]);
    }
    modes->addStretch();
    connect(modeGroup, &QButtonGroup::idClicked, this, [this](int id) { opbFpFuncMode_Click(id); });
    fg->addLayout(modes, 0, 0, 1, kFingers);
    for (int n = 0; n < kFingers; ++n) {
        m_picFpImg[n] = new QLabel(fp);
        m_picFpImg[n]->setObjectName(QStringLiteral("picFpImg_%1").arg(n));
        m_picFpImg[n]->setProperty("index", n);
        m_picFpImg[n]->setFixedSize(kFpPictureWidth, kFpPictureHeight);
        m_picFpImg[n]->setAlignment(Qt::AlignCenter);
        m_picFpImg[n]->setToolTip(GetFingerName(n));
        m_picFpImg[n]->installEventFilter(this);
        auto *b = new QPushButton(GetFingerName(n), fp);
        b->setObjectName(QStringLiteral("cmdFpImg_%1").arg(n));
        b->setProperty("index", n);
        connect(b, &QPushButton::clicked, this, [this, n] { picFpImg_Click(n); });
        fg->addWidget(m_picFpImg[n], 1, n, Qt::AlignHCenter);
        fg->addWidget(b, 2, n);
    }
    grid->addWidget(fp, 2, 0, 1, 2);
}

void frmUserMan::SetCardButtons()
{
    if (m_user.guserId.isEmpty())
        SetPlaceholderCard(); // a user without any card ID still gets the one gates know it by
    const bool hasCard = UserRules::HasCard(GetEdition(), m_user.guserId);
    // The status field also carries the duplicate-card notice until the card state is shown again.
    m_txtCardStatus->setText(hasCard ? U("<<< ICカード登録済み >>>") : QString());
    const bool details = mode() == ModeDetails && m_found && !m_txtId->text().isEmpty();
    const UserRules::CardButtons b =
        UserRules::CardButtonState(details, hasCard, PermitRows(), m_chbAuthType[2]->isChecked());
    m_cmdReadIC->setEnabled(b.read);
    m_cmdVerifyIC->setEnabled(b.verify);
    m_cmdDeleteIC->setEnabled(b.remove);
}

void frmUserMan::cmdReadIC_Click()
{
    m_cardPurpose = CardPurpose::Register;
    SetCurrentScreen(this);
    frmCardAssist::Open(this);
    m_cardPurpose = CardPurpose::None;
}

void frmUserMan::cmdVerifyIC_Click()
{
    m_cardPurpose = CardPurpose::Verify;
    SetCurrentScreen(this);
    frmCardAssist::Open(this);
    m_cardPurpose = CardPurpose::None;
}

void frmUserMan::CARD_SetCardId(const QString &cardId)
{
    const CardPurpose purpose = m_cardPurpose;
    m_cardPurpose = CardPurpose::None; // one card per opening of the reader
    if (purpose == CardPurpose::Verify) {
        const bool same = !cardId.isEmpty() && cardId == m_user.guserId;
        MsgBox::Show(same ? U("照合されました。") : U("照合に失敗しました。"), QMessageBox::Ok,
                     same ? QMessageBox::Information : QMessageBox::Warning);
        return;
    }
    if (purpose != CardPurpose::Register || cardId.isEmpty())
        return;
    GuardDb([&] {
        const QString owner = UserRules::CardOwner(cardId, m_txtId->text());
        if (!owner.isEmpty()) {
            m_txtCardStatus->setText(U("既に利用済みです。UID=") + owner);
            return;
        }
        if (SaveCard(cardId) && !UserRules::MarkPermitsForUpdate(m_txtId->text()))
            MsgBox::Show(U("更新に失敗しました。"), QMessageBox::Ok, QMessageBox::Warning);
        ShowGateUserList();
    });
}

bool frmUserMan::SaveCard(const QString &cardId)
{
    const QString before = m_user.guserId;
    const auto restore = [&] {
        // The field shows what is stored: a card that was not written is not shown as registered.
        m_user.guserId = before;
        m_txtCardID->setText(before);
    };
    m_user.guserId = cardId;
    m_txtCardID->setText(cardId);
    bool saved = false;
    try {
        saved = SaveRecord();
    } catch (...) {
        restore();
        throw;
    }
    if (!saved)
        restore();
    return saved;
}

void frmUserMan::cmdDeleteIC_Click()
{
    const QString refused = UserRules::CheckRemoveCard(m_chbAuthType[2]->isChecked());
    if (!refused.isEmpty()) {
        MsgBox::Show(refused, QMessageBox::Ok, QMessageBox::Information);
        return;
    }
    SaveCard(orvel::PlaceholderGuserId(GetEdition(), m_txtId->text()));
    ShowGateUserList();
}

// ---- the fingerprint area ----------------------------------------------------------------------------

void frmUserMan::ShowFpImages()
{
    m_enrolledFingers = m_found ? UserRules::EnrolledFingers(m_txtId->text()) : QList<int>();
    const QPixmap image(FpImageFile());
    for (int n = 0; n < kFingers; ++n) {
        const bool enrolled = m_enrolledFingers.contains(n);
        QLabel *pic = m_picFpImg[n];
        pic->setStyleSheet(QLatin1String(enrolled ? kFpEnrolledLook : kFpEmptyLook));
        pic->setPixmap(enrolled && !image.isNull()
                           ? image.scaled(pic->size() - QSize(6, 6), Qt::KeepAspectRatio, Qt::SmoothTransformation)
                           : QPixmap());
        pic->setProperty("enrolled", enrolled);
        pic->update();
    }
}

void frmUserMan::opbFpFuncMode_Click(int fpMode)
{
    const char *prompts[3] = {"照合したい指をクリックしてください。", "登録したい指をクリックしてください。",
                              "削除したい指をクリックしてください。"};
    if (fpMode >= 0 && fpMode < 3)
        ShowInfo(U(prompts[fpMode]), kInfoBlue, false);
}

bool frmUserMan::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        auto *pic = qobject_cast<QLabel *>(watched);
        if (pic && pic->isEnabled() && pic->objectName().startsWith(QLatin1String("picFpImg_")) &&
            static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            picFpImg_Click(pic->property("index").toInt());
            return true;
        }
    }
    return MasterScreen::eventFilter(watched, event);
}

void frmUserMan::picFpImg_Click(int finger)
{
    if (finger < 0 || finger >= kFingers || m_txtId->text().isEmpty() || !m_found)
        return;
    const int fpMode = m_opbFpFuncMode[1]->isChecked() ? 1 : m_opbFpFuncMode[2]->isChecked() ? 2 : 0;
    const bool enrolled = m_enrolledFingers.contains(finger);
    frmFpBase *window = nullptr;
    if (fpMode == 0) {
        if (!enrolled)
            return;
        window = new frmFpVerify;
    } else if (fpMode == 1) {
        window = new frmFpEnroll;
    } else {
        if (!enrolled)
            return;
        const QString refused =
            UserRules::CheckDeleteFinger(int(m_enrolledFingers.size()), m_chbAuthType[1]->isChecked());
        if (!refused.isEmpty()) {
            MsgBox::Show(refused, QMessageBox::Ok, QMessageBox::Information);
            return;
        }
        window = new frmFpDelete;
    }
    SetCurrentScreen(this);
    window->SetFpInfo(m_txtId->text(), finger, m_txtName->text(), GetFingerName(finger));
    SetBusyOn();
    window->setWindowModality(Qt::ApplicationModal);
    window->show();
    if (auto *enroll = qobject_cast<frmFpEnroll *>(window))
        enroll->StartEnroll();
    else if (auto *verify = qobject_cast<frmFpVerify *>(window))
        verify->StartVerify();
    // The window closes itself (and drops the busy flag) when its work is done or stopped.
    WaitBusyOff();
}

void frmUserMan::FP_SetTplId(bool ok, qint16 tplNo)
{
    Q_UNUSED(tplNo);
    if (!ok)
        return;
    GuardDb([this] {
        ShowFpImages();
        if (!UserRules::MarkPermitsForUpdate(m_txtId->text()))
            MsgBox::Show(U("更新に失敗しました。"), QMessageBox::Ok, QMessageBox::Warning);
        ShowGateUserList();
    });
}

ORVEL_REGISTER_SCREEN(frmUserMan)
