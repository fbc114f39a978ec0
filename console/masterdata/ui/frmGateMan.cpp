#include "frmGateMan.h"

#include "Text.h"

#include "GateLockRow.h"
#include "GateRules.h"
#include "MasterUi.h"
#include "PermitRules.h"
#include "frmAssistBase.h"
#include "frmGateAssist.h"
#include "frmUserAssist.h"

#include "DigitKeys.h"
#include "MsfGrid.h"
#include "MsgBox.h"
#include "OrvelDefs.h"
#include "Public.h"
#include "RdoAdapters.h"
#include "ScreenLook.h"
#include "ScreenRegistry.h"
#include "SqlDialect.h"
#include "gatecomm/GateLockScope.h"
#include "gatecomm/TcpCom.h"
#include "rdo_cntl.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>

namespace {
constexpr int kGateListWidth = 360;
constexpr int kPermitListWidth = 560;
constexpr int kSyncDispCol = 5;
constexpr int kSyncFlagCol = 9;

// Port and address boxes take digits only. In an address box "." moves on to the next box, as the
// operator types a dotted address.
void DigitsOnly(QLineEdit *field, int maxLen, QLineEdit *next = nullptr)
{
    field->setMaxLength(maxLen);
    field->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), field));
    AcceptDigitKeys(field, DotKey::NextField, next);
}

// The screen is disabled while it reads or writes the gate's properties record.
class ScreenDisabled
{
public:
    explicit ScreenDisabled(QWidget *screen) : m_screen(screen) { m_screen->setEnabled(false); }
    ~ScreenDisabled() { m_screen->setEnabled(true); }

private:
    QWidget *m_screen;
};

// Runs lostFocus when the operator leaves field (not when a message box or window takes focus).
class LeaveField : public QObject
{
public:
    LeaveField(QLineEdit *field, std::function<void()> lostFocus) : QObject(field), m_lostFocus(std::move(lostFocus)) {}

protected:
    bool eventFilter(QObject *, QEvent *ev) override
    {
        if (ev->type() == QEvent::FocusOut) {
            const Qt::FocusReason why = static_cast<QFocusEvent *>(ev)->reason();
            if (why != Qt::ActiveWindowFocusReason && why != Qt::PopupFocusReason)
                m_lostFocus();
        }
        return false;
    }

private:
    std::function<void()> m_lostFocus;
};
} // namespace

const ModeRules &frmGateMan::Rules()
{
    static const ModeRules rules = [] {
        ModeRules r;
        r.Lock("txtId", "AANA");
        for (const char *f : {"cmbZone", "txtName", "txtBikou", "txtIP_0", "txtIP_1", "txtIP_2", "txtIP_3", "txtPort"})
            r.Lock(QString::fromLatin1(f), "ANNA");
        r.Enable("opbGateMode_1", "NAAN")
            .Enable("opbGateMode_2", "NAAN")
            .Enable("cmdRegist", "NNMN")
            .Enable("cmdUpdate", "NFNN")
            .Enable("cmdDelete", "NFNN")
            .Enable("cmdSearch", "AANA")
            .Enable("msfGateList", "AANA");
        // The detail area. cmdSendGUser is not here: the permit list decides it each time it
        // loads (mode 3, gate in use, a row not in step).
        for (const char *d : {"cmdPollGate", "opbUseFlag_0", "opbUseFlag_1", "cmdAddGateUser", "cmdDeleteGateUser",
                              "optDoorMode_0", "optDoorMode_1", "optDoorMode_2", "optAlarm_0", "optAlarm_1"})
            r.Enable(QString::fromLatin1(d), "NNNF");
        return r;
    }();
    return rules;
}

frmGateMan::frmGateMan(QWidget *parent)
    : MasterScreen(QStringLiteral("frmGateMan"), U("ゲート管理"), parent),
      m_gateList(std::make_unique<rdo_cntl>()), m_record(std::make_unique<rdo_cntl>()),
      m_permitList(std::make_unique<rdo_cntl>()), m_zones(std::make_unique<rdo_cntl>())
{
    BuildControls();
    KeepWindowPosition();
    SetupDb();
    m_mode->setMode(ModeInquiry);
    ShowModeSubTitle(ModeInquiry);
    GuardDb([this] {
        m_zones->LoadComboSimple(RdoList(m_cmbZone));
        ClearRecord();
        ApplyModeRules();
        ShowgateList();
    });
}

frmGateMan::~frmGateMan()
{
    SaveLayouts();
}

void frmGateMan::BuildControls()
{
    auto *top = new QGridLayout(Body());
    AddModeBar(top);

    m_msfGateList = new MsfGrid(Body());
    m_msfGateList->setObjectName(QStringLiteral("msfGateList"));
    m_msfGateList->setMinimumSize(kGateListWidth, 200);
    NameField(m_msfGateList, U("ゲート一覧"));
    top->addWidget(m_msfGateList, 1, 0, 3, 1);

    // ---- the record -----------------------------------------------------------------------------
    auto *rec = new QGroupBox(U("ゲート情報"), this);
    auto *g = new QGridLayout(rec);
    auto line = [&](QWidget *owner, const char *name) {
        auto *e = new QLineEdit(owner);
        e->setObjectName(QString::fromLatin1(name));
        return e;
    };
    auto hidden = [&](const char *name) {
        QLineEdit *e = line(rec, name);
        e->hide();
        return e;
    };
    m_txtId = line(rec, "txtId");
    g->addWidget(LabelFor(m_txtId, U("ゲートID")), 0, 0);
    g->addWidget(m_txtId, 0, 1);
    m_cmbZone = new QComboBox(rec);
    m_cmbZone->setObjectName(QStringLiteral("cmbZone"));
    m_cmbZone->setEditable(true);
    m_cmbZone->setInsertPolicy(QComboBox::NoInsert);
    g->addWidget(LabelFor(m_cmbZone, U("ゾーン")), 1, 0);
    g->addWidget(m_cmbZone, 1, 1, 1, 4);
    m_txtName = line(rec, "txtName");
    m_txtName->setMaxLength(50);
    g->addWidget(LabelFor(m_txtName, U("ゲート名")), 2, 0);
    g->addWidget(m_txtName, 2, 1, 1, 4);
    auto *ipRow = new QHBoxLayout;
    for (int i = 0; i < 4; ++i) {
        m_txtIP[i] = line(rec, QStringLiteral("txtIP_%1").arg(i).toLatin1().constData());
        m_txtIP[i]->setProperty("index", i);
        m_txtIP[i]->setMaximumWidth(48);
        if (i > 0)
            ipRow->addWidget(new QLabel(QStringLiteral("."), rec));
        ipRow->addWidget(m_txtIP[i]);
        NameField(m_txtIP[i], U("IPアドレス") + QStringLiteral(" %1").arg(i + 1));
    }
    g->addWidget(LabelFor(m_txtIP[0], U("IPアドレス")), 3, 0);
    ipRow->addStretch();
    g->addLayout(ipRow, 3, 1, 1, 4);
    m_txtPort = line(rec, "txtPort");
    g->addWidget(LabelFor(m_txtPort, U("ポート番号")), 4, 0);
    g->addWidget(m_txtPort, 4, 1, 1, 2);
    m_txtBikou = line(rec, "txtBikou");
    m_txtBikou->setMaxLength(255);
    g->addWidget(LabelFor(m_txtBikou, U("備考")), 5, 0);
    g->addWidget(m_txtBikou, 5, 1, 1, 4);

    auto *modeRow = new QHBoxLayout;
    auto *gateModeGroup = new QButtonGroup(rec);
    const char *gateModeCaptions[3] = {nullptr, "入室ゲート", "退室ゲート"};
    for (int i = 1; i <= 2; ++i) {
        m_opbGateMode[i] = new QRadioButton(U(gateModeCaptions[i]), rec);
        m_opbGateMode[i]->setObjectName(QStringLiteral("opbGateMode_%1").arg(i));
        m_opbGateMode[i]->setProperty("index", i);
        gateModeGroup->addButton(m_opbGateMode[i], i);
        modeRow->addWidget(m_opbGateMode[i]);
    }
    modeRow->addStretch();
    g->addWidget(new QLabel(U("ゲート種別"), rec), 6, 0);
    g->addLayout(modeRow, 6, 1, 1, 4);

    m_lblRegistDT = new QLabel(rec);
    m_lblRegistDT->setObjectName(QStringLiteral("lblRegistDT"));
    m_lblRefixDT = new QLabel(rec);
    m_lblRefixDT->setObjectName(QStringLiteral("lblRefixDT"));
    g->addWidget(new QLabel(U("登録日"), rec), 7, 0);
    g->addWidget(m_lblRegistDT, 7, 1, 1, 2);
    g->addWidget(new QLabel(U("更新日"), rec), 7, 3);
    g->addWidget(m_lblRefixDT, 7, 4);

    m_txtZoneName = hidden("txtZoneName");
    m_txtIpAddr = hidden("txtIpAddr");
    m_txtGateMode = hidden("txtGateMode");
    m_txtUseFlag = hidden("txtUseFlag");
    m_txtDoorMode = hidden("txtDoorMode");
    m_txtAlarm = hidden("txtAlarm");

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
    g->addLayout(buttons, 8, 0, 1, 5);
    top->addWidget(rec, 1, 1);

    // ---- detail area: connection, device settings --------------------------------------------
    auto *conn = new QGroupBox(U("ゲートの接続"), this);
    auto *cg = new QGridLayout(conn);
    auto *useGroup = new QButtonGroup(conn);
    const char *useCaptions[2] = {"Kavrin無効", "Kavrin有効"};
    for (int i = 0; i < 2; ++i) {
        m_opbUseFlag[i] = new QRadioButton(U(useCaptions[i]), conn);
        m_opbUseFlag[i]->setObjectName(QStringLiteral("opbUseFlag_%1").arg(i));
        m_opbUseFlag[i]->setProperty("index", i);
        useGroup->addButton(m_opbUseFlag[i], i);
    }
    cg->addWidget(m_opbUseFlag[1], 0, 0);
    cg->addWidget(m_opbUseFlag[0], 0, 1);
    m_cmdPollGate = button(conn, "cmdPollGate", "ゲートを有効にする");
    cg->addWidget(m_cmdPollGate, 0, 2);
    m_txtUseFlagMsg = line(conn, "txtUseFlagMsg");
    SetFieldLocked(m_txtUseFlagMsg, true);
    NameField(m_txtUseFlagMsg, U("接続状態"));
    cg->addWidget(m_txtUseFlagMsg, 1, 0, 1, 3);

    m_fraDoorMode = new QGroupBox(U("開錠の設定"), conn);
    m_fraDoorMode->setObjectName(QStringLiteral("fraDoorMode"));
    auto *dl = new QHBoxLayout(m_fraDoorMode);
    auto *doorGroup = new QButtonGroup(m_fraDoorMode);
    const char *doorCaptions[3] = {"認証して開錠", "常に施錠", "常に開錠"};
    for (int i = 0; i < 3; ++i) {
        m_optDoorMode[i] = new QRadioButton(U(doorCaptions[i]), m_fraDoorMode);
        m_optDoorMode[i]->setObjectName(QStringLiteral("optDoorMode_%1").arg(i));
        m_optDoorMode[i]->setProperty("index", i);
        doorGroup->addButton(m_optDoorMode[i], i);
        dl->addWidget(m_optDoorMode[i]);
    }
    m_fraAlarm = new QGroupBox(U("センサー設定"), conn);
    m_fraAlarm->setObjectName(QStringLiteral("fraAlarm"));
    auto *al = new QHBoxLayout(m_fraAlarm);
    auto *alarmGroup = new QButtonGroup(m_fraAlarm);
    const char *alarmCaptions[2] = {"アラーム OFF", "アラーム ON"};
    for (int i = 0; i < 2; ++i) {
        m_optAlarm[i] = new QRadioButton(U(alarmCaptions[i]), m_fraAlarm);
        m_optAlarm[i]->setObjectName(QStringLiteral("optAlarm_%1").arg(i));
        m_optAlarm[i]->setProperty("index", i);
        alarmGroup->addButton(m_optAlarm[i], i);
        al->addWidget(m_optAlarm[i]);
    }
    cg->addWidget(m_fraDoorMode, 2, 0, 1, 2);
    cg->addWidget(m_fraAlarm, 2, 2);
    top->addWidget(conn, 2, 1);

    // ---- permitted users ----------------------------------------------------------------------
    auto *permits = new QGroupBox(U("通行許可ユーザ"), this);
    auto *pg = new QGridLayout(permits);
    m_msfGateUserList = new MsfGrid(permits);
    m_msfGateUserList->setObjectName(QStringLiteral("msfGateUserList"));
    m_msfGateUserList->setSelectionMode(QAbstractItemView::ContiguousSelection);
    m_msfGateUserList->setMinimumSize(kPermitListWidth, 100);
    NameField(m_msfGateUserList, U("通行許可ユーザ"));
    QPushButton *cmdAdd = button(permits, "cmdAddGateUser", "通行許可ユーザの追加");
    QPushButton *cmdRemove = button(permits, "cmdDeleteGateUser", "通行許可の解除");
    m_cmdSendGUser = button(permits, "cmdSendGUser", "ゲートに反映");
    pg->addWidget(m_msfGateUserList, 0, 0, 1, 4);
    pg->addWidget(cmdAdd, 1, 1);
    pg->addWidget(cmdRemove, 1, 2);
    pg->addWidget(m_cmdSendGUser, 1, 3);
    top->addWidget(permits, 3, 1);
    top->setRowStretch(3, 1);

    // ---- entry rules and handlers -------------------------------------------------------------
    SetupIdField(m_txtId, orvel::kGateIdWidth, [this] { txtId_LostFocus(); });
    for (int i = 0; i < 4; ++i) {
        DigitsOnly(m_txtIP[i], 3, i < 3 ? m_txtIP[i + 1] : m_txtPort);
        m_txtIP[i]->installEventFilter(new LeaveField(m_txtIP[i], [this] { JoinIpBoxes(); }));
    }
    DigitsOnly(m_txtPort, 5);
    connect(m_cmbZone, &QComboBox::editTextChanged, this, [this](const QString &t) { cmbZone_Change(t); });
    // Option clicks: idClicked comes only from the operator, never from setChecked.
    connect(gateModeGroup, &QButtonGroup::idClicked, this,
            [this](int id) { m_txtGateMode->setText(id == 1 ? QStringLiteral("1") : QStringLiteral("2")); });
    connect(useGroup, &QButtonGroup::idClicked, this, [this](int id) { GuardDb([&] { opbUseFlag_Click(id); }); });
    connect(doorGroup, &QButtonGroup::idClicked, this, [this](int id) { GuardDb([&] { optDoorMode_Click(id); }); });
    connect(alarmGroup, &QButtonGroup::idClicked, this, [this](int id) { GuardDb([&] { optAlarm_Click(id); }); });
    connect(cmdRegist, &QPushButton::clicked, this, [this] { GuardDb([this] { cmdRegist_Click(); }); });
    connect(cmdUpdate, &QPushButton::clicked, this, [this] { GuardDb([this] { cmdUpdate_Click(); }); });
    connect(cmdDelete, &QPushButton::clicked, this, [this] { GuardDb([this] { cmdDelete_Click(); }); });
    connect(cmdSearch, &QPushButton::clicked, this, [this] { cmdSearch_Click(); });
    connect(m_cmdPollGate, &QPushButton::clicked, this, [this] { GuardDb([this] { cmdPollGate_Click(); }); });
    connect(cmdAdd, &QPushButton::clicked, this, [this] { cmdAddGateUser_Click(); });
    connect(cmdRemove, &QPushButton::clicked, this, [this] { GuardDb([this] { cmdDeleteGateUser_Click(); }); });
    connect(m_cmdSendGUser, &QPushButton::clicked, this, [this] { GuardDb([this] { cmdSendGUser_Click(); }); });
    ConnectList(m_msfGateList, [this](int row) { msfGateList_Click(row); });
}

void frmGateMan::SetupDb()
{
    m_gateList->setDataSource(QStringLiteral("telmar_v1.v_gate"));
    m_gateList->SetField(QStringLiteral("gate_id"), QStringLiteral("00000"), true, true);
    m_gateList->SetField(QStringLiteral("zone_name"));
    m_gateList->SetField(QStringLiteral("gate_name"));
    m_gateList->SetField(QStringLiteral("gate_direction"));
    m_gateList->setOrder(QStringLiteral("gate_id asc"));
    SetGridHeader(*m_msfGateList, {U("ゲートID"), U("ゾーン"), U("ゲート名"), U("種別")});
    const int gateWidths[] = {20, 30, 25, 20};
    for (int i = 0; i < 4; ++i)
        m_msfGateList->setColumnWidth(i, kGateListWidth * gateWidths[i] / 100);
    KeepGridLayout(m_msfGateList, QStringLiteral("1"));

    m_permitList->setDataSource(QStringLiteral("telmar_v1.v_gate_user_list"));
    const char *permitFields[] = {"user_id",   "user_name", "emp_name",   "gauthority_name", "gauth_type_name",
                                  "sync_disp", "guser_id",  "gauthority", "gauth_type",      "sync_flag"};
    for (int i = 0; i < 10; ++i)
        m_permitList->SetField(QString::fromLatin1(permitFields[i]), i == 0 ? QStringLiteral("0000000000") : QString(),
                               i == 0, i == 0);
    m_permitList->setOrder(QStringLiteral("user_id asc"));
    SetGridHeader(*m_msfGateUserList, {U("ユーザID"), U("ユーザ名"), U("部署"), U("権限"), U("認証方法"),
                                       U("反映"), U("カードID"), U("権限コード"), U("認証コード"), U("状態")});
    const int permitWidths[] = {18, 22, 18, 12, 16, 10, 0, 0, 0, 0};
    for (int i = 0; i < 10; ++i)
        m_msfGateUserList->setColumnWidth(i, kPermitListWidth * permitWidths[i] / 100);
    KeepGridLayout(m_msfGateUserList, QStringLiteral("2"));

    m_zones->setDataSource(QStringLiteral("telmar_v1.m_gate"));
    m_zones->setDataField(QStringLiteral("zone_name"));
    m_zones->setOrder(QStringLiteral("zone_name ASC"));

    m_record->setDataSource(QStringLiteral("telmar_v1.m_gate"));
    m_record->SetBind(QStringLiteral("gate_id"), RdoText(m_txtId), true, true);
    m_record->SetBind(QStringLiteral("zone_name"), RdoText(m_txtZoneName));
    m_record->SetBind(QStringLiteral("gate_name"), RdoText(m_txtName));
    m_record->SetBind(QStringLiteral("ip_addr"), RdoText(m_txtIpAddr));
    m_record->SetBind(QStringLiteral("port_no"), RdoText(m_txtPort));
    m_record->SetBind(QStringLiteral("gate_bikou"), RdoText(m_txtBikou));
    m_record->SetBind(QStringLiteral("gate_mode"), RdoText(m_txtGateMode));
    m_record->SetBind(QStringLiteral("use_flag"), RdoText(m_txtUseFlag));
    m_record->SetBind(QStringLiteral("regist_dt"), RdoText(m_lblRegistDT));
    m_record->SetBind(QStringLiteral("refix_dt"), RdoText(m_lblRefixDT));
}

bool frmGateMan::InUse() const
{
    return m_txtUseFlag->text().trimmed() == QLatin1String("1");
}

// ---- lists ---------------------------------------------------------------------------------------

void frmGateMan::ShowgateList()
{
    ReloadListShowing(*m_gateList, *m_msfGateList, m_txtId->text());
}

void frmGateMan::ShowGateUserList()
{
    m_permitList->setWhere(QStringLiteral("gate_id = ") + orvel::SqlText(m_txtId->text()));
    m_permitList->LoadGrid(m_msfGateUserList);
    m_msfGateUserList->setCurrentCell(-1, -1);
    SetSendButton();
}

int frmGateMan::PermitRows() const
{
    return m_msfGateUserList->rows() - m_msfGateUserList->fixedRows();
}

void frmGateMan::SetSendButton()
{
    QStringList disps;
    for (int r = m_msfGateUserList->fixedRows(); r < m_msfGateUserList->rows(); ++r)
        disps << m_msfGateUserList->textMatrix(r, kSyncDispCol);
    m_cmdSendGUser->setEnabled(PermitRules::SendEnabled(mode(), InUse(), disps));
}

void frmGateMan::RefreshLists()
{
    GuardDb([this] {
        ShowgateList();
        ShowGateUserList();
    });
}

void frmGateMan::Form_Activate()
{
    ShowModeSubTitle(mode());
    GuardDb([this] {
        const QString zone = m_cmbZone->currentText();
        m_zones->LoadComboSimple(RdoList(m_cmbZone));
        m_cmbZone->setEditText(zone);
        ApplyModeRules();
        ShowgateList();
    });
}

// ---- modes and the record ---------------------------------------------------------------------

void frmGateMan::ClearRecord()
{
    for (QLineEdit *e : {m_txtId, m_txtZoneName, m_txtName, m_txtIpAddr, m_txtPort, m_txtBikou, m_txtDoorMode,
                         m_txtAlarm, m_txtIP[0], m_txtIP[1], m_txtIP[2], m_txtIP[3]})
        e->clear();
    m_cmbZone->setEditText(QString());
    m_lblRegistDT->clear();
    m_lblRefixDT->clear();
    m_txtGateMode->setText(QStringLiteral("1"));
    m_txtUseFlag->setText(QStringLiteral("0"));
    m_loadedIpAddr.clear();
    m_opbGateMode[1]->setChecked(true);
    ShowUseState();
    ShowGateUserList();
}

void frmGateMan::LoadRecord(bool found)
{
    if (found) {
        const QStringList parts = GateRules::SplitIp(m_txtIpAddr->text());
        for (int i = 0; i < 4; ++i)
            m_txtIP[i]->setText(parts.at(i));
        m_cmbZone->setEditText(m_txtZoneName->text());
        m_loadedIpAddr = m_txtIpAddr->text();
    }
    m_opbGateMode[m_txtGateMode->text().trimmed() == QLatin1String("2") ? 2 : 1]->setChecked(true);
    ShowUseState();
}

void frmGateMan::ApplyModeRules()
{
    const QString id = m_txtId->text();
    m_record->setWhere(QStringLiteral("gate_id = ") + orvel::SqlText(id));
    const bool found = !id.isEmpty() && m_record->LoadBind();
    LoadRecord(found);
    Rules().Apply(this, mode(), found);
    ShowGateUserList();
    if (mode() == ModeDetails && found)
        ShowDeviceSettings();
    else
        SetDeviceControlsEnabled(false);

    if (mode() == ModeNew && found) {
        MsgBox::Show(U("このゲートIDは既に登録されています。"), QMessageBox::Ok, QMessageBox::Information);
        ClearRecord();
        m_txtId->setFocus();
    }
}

void frmGateMan::txtId_LostFocus()
{
    GuardDb([this] { ApplyModeRules(); });
}

void frmGateMan::msfGateList_Click(int row)
{
    if (!ChooseListRow(*m_msfGateList, row, m_txtId))
        return;
    ApplyModeRules();
}

void frmGateMan::GATE_SetGateId(const QString &gateId)
{
    GuardDb([&] {
        m_txtId->setText(orvel::PadId(gateId, orvel::kGateIdWidth));
        ApplyModeRules();
    });
}

void frmGateMan::cmbZone_Change(const QString &text)
{
    if (text.size() > GateRules::kZoneMax) {
        // Also a pasted name: cut, cursor to the end, and a beep that tells the operator.
        const QSignalBlocker block(m_cmbZone);
        m_cmbZone->setEditText(GateRules::CutZone(text));
        if (QLineEdit *e = m_cmbZone->lineEdit())
            e->setCursorPosition(int(e->text().size()));
        QApplication::beep();
    }
    m_txtZoneName->setText(GateRules::CutZone(text));
}

void frmGateMan::JoinIpBoxes()
{
    m_txtIpAddr->setText(GateRules::JoinIp(
        {m_txtIP[0]->text(), m_txtIP[1]->text(), m_txtIP[2]->text(), m_txtIP[3]->text()}));
}

void frmGateMan::ShowUseState()
{
    const bool inUse = InUse();
    m_opbUseFlag[inUse ? 1 : 0]->setChecked(true);
    m_txtUseFlagMsg->setText(inUse ? U("接続中") : U("未接続"));
    m_cmdPollGate->setText(inUse ? U("ゲートを無効にする") : U("ゲートを有効にする"));
}

void frmGateMan::SetDeviceControlsEnabled(bool on)
{
    m_fraDoorMode->setEnabled(on);
    m_fraAlarm->setEnabled(on);
    if (on) {
        for (QRadioButton *b : m_optDoorMode)
            b->setEnabled(true);
        for (QRadioButton *b : m_optAlarm)
            b->setEnabled(true);
    }
}

void frmGateMan::ShowDeviceSettings()
{
    if (!InUse()) {
        SetDeviceControlsEnabled(false);
        m_cmdSendGUser->setEnabled(false);
        return;
    }
    int door = 0, alarm = 0;
    bool read = false;
    {
        const ScreenDisabled off(this);
        read = GateRules::ReadDeviceSettings(m_txtId->text(), m_txtIpAddr->text(), m_txtPort->text(), &door, &alarm);
    }
    if (!read) {
        // A gate whose settings cannot be read is not talked to by anyone until checked again.
        m_txtUseFlag->setText(QStringLiteral("0"));
        m_record->UpdateBind();
        ShowUseState();
        SetDeviceControlsEnabled(false);
        m_cmdSendGUser->setEnabled(false);
        MsgBox::Show(U("ゲートへの接続に失敗しました。このゲートは利用出来ません。"), QMessageBox::Ok,
                     QMessageBox::Warning);
        m_txtUseFlagMsg->setText(U("このゲートは、現在利用出来ません。"));
        return;
    }
    if (door >= 0 && door < 3)
        m_optDoorMode[door]->setChecked(true);
    if (alarm >= 0 && alarm < 2)
        m_optAlarm[alarm]->setChecked(true);
    m_txtDoorMode->setText(QString::number(door));
    m_txtAlarm->setText(QString::number(alarm));
    SetDeviceControlsEnabled(true);
    SetSendButton();
}

QString frmGateMan::Validate() const
{
    GateRules::Input in;
    in.gateId = m_txtId->text();
    in.zone = m_txtZoneName->text();
    in.name = m_txtName->text();
    for (QLineEdit *b : m_txtIP)
        in.ip << b->text();
    in.port = m_txtPort->text();
    return GateRules::Validate(in);
}

// ---- buttons ------------------------------------------------------------------------------------

void frmGateMan::cmdRegist_Click()
{
    if (!m_txtId->text().isEmpty())
        m_txtId->setText(orvel::PadId(m_txtId->text(), orvel::kGateIdWidth));
    JoinIpBoxes();
    const QString refused = Validate();
    if (!refused.isEmpty()) {
        MsgBox::Show(refused, QMessageBox::Ok, QMessageBox::Information);
        return;
    }
    const QString today = TodayText();
    m_lblRegistDT->setText(today);
    m_lblRefixDT->setText(today);
    orvel::AddGateLockRow(m_txtId->text(), today);
    if (!m_record->InsertBind())
        MsgBox::Show(U("登録に失敗しました。") + u'\n' + m_record->errMsg().toString(), QMessageBox::Ok,
                     QMessageBox::Warning);
    const QString zone = m_cmbZone->currentText();
    m_zones->LoadComboSimple(RdoList(m_cmbZone));
    m_cmbZone->setEditText(zone);
    ShowgateList();
    ShowGateUserList();
    m_mode->select(ModeDetails);
}

void frmGateMan::cmdUpdate_Click()
{
    JoinIpBoxes();
    const QString refused = Validate();
    if (!refused.isEmpty()) {
        MsgBox::Show(refused, QMessageBox::Ok, QMessageBox::Information);
        return;
    }
    // A gate at a new address has not been checked there: it leaves use until it is.
    const bool moved = m_txtIpAddr->text() != m_loadedIpAddr;
    if (moved) {
        m_txtUseFlag->setText(QStringLiteral("0"));
        ShowUseState();
    }
    m_lblRefixDT->setText(TodayText());
    m_record->UpdateBind();
    m_loadedIpAddr = m_txtIpAddr->text();
    ShowgateList();
    ShowGateUserList();
    if (moved)
        MsgBox::Show(U("IPアドレスが変更されました。ゲートの【接続確認】を行ってください。"), QMessageBox::Ok,
                     QMessageBox::Information);
}

void frmGateMan::cmdDelete_Click()
{
    const QString refused = GateRules::CheckDelete(m_txtUseFlag->text());
    if (!refused.isEmpty()) {
        MsgBox::Show(refused, QMessageBox::Ok, QMessageBox::Information);
        return;
    }
    if (PermitRows() > 0) {
        const QString question = U("このゲートには通行許可ユーザが設定されています。") + u'\n' +
                                 U("削除すると､ユーザの通行許可は強制的に解除されるため､") + u'\n' +
                                 U("ゲート本体との間にユーザ登録の不整合が発生します。") + u'\n' +
                                 U("削除を強制実行しますか？");
        if (MsgBox::Show(question, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Information) != QMessageBox::Ok)
            return;
    }
    if (!GateRules::DeleteGate(orvel::PadId(m_txtId->text(), orvel::kGateIdWidth))) {
        MsgBox::Show(U("削除に失敗しました。"), QMessageBox::Ok, QMessageBox::Warning);
        return;
    }
    ClearRecord();
    ApplyModeRules();
    ShowgateList();
}

void frmGateMan::cmdSearch_Click()
{
    SetCurrentScreen(this);
    frmAssistBase::Open(new frmGateAssist);
}

void frmGateMan::cmdPollGate_Click()
{
    if (InUse()) {
        // Out of use without touching the device.
        m_txtUseFlag->setText(QStringLiteral("0"));
        ShowUseState();
        m_lblRefixDT->setText(TodayText());
        m_record->UpdateBind();
        ShowDeviceSettings();
        return;
    }
    m_cmdPollGate->setEnabled(false);
    {
        const MainWindowDisabled off;
        m_txtUseFlagMsg->setText(U("ゲート接続中。しばらくお待ちください。"));
        const GateRules::Connect result =
            GateRules::ConnectAndSetClock(m_txtId->text(), m_txtIpAddr->text(), m_txtPort->text(), [] {
                MsgBox::Show(GateUnlockFailedText(), QMessageBox::Ok, QMessageBox::Warning);
            });
        if (result == GateRules::Connect::LockFailed) {
            MsgBox::Show(U("ゲートへのアクセスに失敗しました。数秒後に再度実行してください。"), QMessageBox::Ok,
                         QMessageBox::Warning);
            ShowUseState();
        } else {
            if (result == GateRules::Connect::Connected) {
                MsgBox::Show(U("ゲートへの接続に成功しました。このゲートは利用可能です。"), QMessageBox::Ok,
                             QMessageBox::Information);
                m_txtUseFlagMsg->setText(U("このゲートは、現在利用可能です。"));
                m_txtUseFlag->setText(QStringLiteral("1"));
                ShowDeviceSettings();
            } else {
                MsgBox::Show(U("ゲートへの接続に失敗しました。このゲートは利用出来ません。"), QMessageBox::Ok,
                             QMessageBox::Warning);
                m_txtUseFlagMsg->setText(U("このゲートは、現在利用出来ません。"));
                m_txtUseFlag->setText(QStringLiteral("0"));
                SetDeviceControlsEnabled(false);
            }
            m_lblRefixDT->setText(TodayText());
            m_record->UpdateBind();
            ShowUseState();
            SetSendButton();
        }
    }
    m_cmdPollGate->setEnabled(true);
}

void frmGateMan::opbUseFlag_Click(int index)
{
    if (index == 1) {
        MsgBox::Show(U("【接続確認】を行ってください。ゲートへの接続が成功すると【有効】になります。"), QMessageBox::Ok,
                     QMessageBox::Information);
        ShowUseState(); // the option goes back to what the database holds
        return;
    }
    if (!InUse())
        return; // already out of use: nothing changes
    m_txtUseFlag->setText(QStringLiteral("0"));
    m_lblRefixDT->setText(TodayText());
    m_record->UpdateBind();
    ShowUseState();
    ShowDeviceSettings();
}

void frmGateMan::optDoorMode_Click(int index)
{
    if (m_txtDoorMode->text() == QString::number(index))
        return; // the gate already has this setting
    m_txtDoorMode->setText(QString::number(index));
    GateRules::DeviceWrite written;
    {
        const ScreenDisabled off(this);
        written = GateRules::WriteDeviceByte(m_txtId->text(), m_txtIpAddr->text(), m_txtPort->text(),
                                             GateRules::kDoorModeByte, index);
    }
    if (written == GateRules::DeviceWrite::WriteFailed)
        MsgBox::Show(U("デバイスの設定に失敗しました。"), QMessageBox::Ok, QMessageBox::Warning);
}

void frmGateMan::optAlarm_Click(int index)
{
    if (m_txtAlarm->text() == QString::number(index))
        return; // the gate already has this setting
    m_txtAlarm->setText(QString::number(index));
    GateRules::DeviceWrite written;
    {
        const ScreenDisabled off(this);
        written = GateRules::WriteDeviceByte(m_txtId->text(), m_txtIpAddr->text(), m_txtPort->text(),
                                             GateRules::kAlarmByte, index);
    }
    if (written == GateRules::DeviceWrite::WriteFailed)
        MsgBox::Show(U("デバイスの設定に失敗しました。"), QMessageBox::Ok, QMessageBox::Warning);
}

// ---- permits ---------------------------------------------------------------------------------------

void frmGateMan::cmdAddGateUser_Click()
{
    SetCurrentScreen(this);
    frmAssistBase::Open(new frmUserAssist(QStringLiteral("gauth_type <> 0"), U(" 認証方法確定ユーザ検索")));
}

void frmGateMan::USER_SetUserId(const QString &userId)
{
    if (m_txtId->text().isEmpty())
        return;
    GuardDb([&] {
        if (!PermitRules::AddPermit(orvel::PadId(userId, orvel::kUserIdWidth), m_txtId->text()))
            MsgBox::Show(U("登録に失敗しました。"), QMessageBox::Ok, QMessageBox::Warning);
        ShowGateUserList();
    });
}

void frmGateMan::cmdDeleteGateUser_Click()
{
    const QPair<int, int> block = SelectedBlock(*m_msfGateUserList);
    if (block.first < 0)
        return;
    for (int r = block.first; r <= block.second; ++r)
        if (!PermitRules::WithdrawPermit(m_msfGateUserList->textMatrix(r, 0), m_txtId->text()))
            MsgBox::Show(U("削除に失敗しました。"), QMessageBox::Ok, QMessageBox::Warning);
    ShowGateUserList();
}

void frmGateMan::cmdSendGUser_Click()
{
    m_cmdSendGUser->setEnabled(false);
    {
        const MainWindowDisabled off;
        QList<PermitRules::SendRow> rows;
        for (int r = m_msfGateUserList->fixedRows(); r < m_msfGateUserList->rows(); ++r) {
            PermitRules::SendRow row;
            row.gateId = m_txtId->text();
            row.ipAddr = m_txtIpAddr->text();
            row.portNo = m_txtPort->text();
            row.syncFlag = m_msfGateUserList->textMatrix(r, kSyncFlagCol).toInt();
            row.user.user_id = m_msfGateUserList->textMatrix(r, 0);
            row.user.guser_id = m_msfGateUserList->textMatrix(r, 6);
            row.user.gauthority = qint16(m_msfGateUserList->textMatrix(r, 7).toInt());
            row.user.gauth_type = qint16(m_msfGateUserList->textMatrix(r, 8).toInt());
            rows << row;
        }
        // Every listed user to this one gate, held for the whole run; the gate check only wakes
        // the gate, the requests decide, and the lock is released until it goes.
        PermitRules::SendPolicy policy;
        policy.lock = PermitRules::SendPolicy::Lock::WholeGate;
        policy.gateId = m_txtId->text();
        policy.ipAddr = m_txtIpAddr->text();
        policy.portNo = m_txtPort->text();
        policy.honourGateCheck = false;
        policy.releaseUntilDone = true;
        PermitRules::SendHooks hooks;
        hooks.underLock = [this] {
            m_txtUseFlagMsg->setText(U("ゲート接続中。しばらくお待ちください。"));
            QCoreApplication::processEvents();
            return true;
        };
        hooks.rowDone = [this](int i, PermitRules::RowEnd end) {
            if (end == PermitRules::RowEnd::Sent)
                m_msfGateUserList->setTextMatrix(m_msfGateUserList->fixedRows() + i, kSyncDispCol, U("済"));
        };
        hooks.tell = [](const QString &text) { MsgBox::Show(text, QMessageBox::Ok, QMessageBox::Warning); };
        if (PermitRules::SendRows(rows, policy, hooks) == PermitRules::SendEnd::LockFailed)
            MsgBox::Show(U("ゲートへのアクセスに失敗しました。数秒後に再度実行してください。"), QMessageBox::Ok,
                         QMessageBox::Warning);
        ShowGateUserList();
        ShowUseState();
    }
}

ORVEL_REGISTER_SCREEN(frmGateMan)
