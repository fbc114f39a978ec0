#include "frmGateMan.h"

#include "Text.h"

#include "GateLockRow.h"
#include "GateRules.h"
#include "MasterUi.h"
#include "PermitPanel.h"
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
      m_gateList(std::make_unique<rdo_cntl>()), m_zones(std::make_unique<rdo_cntl>())
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
    m_permits = new PermitPanel(PermitListModel::Side::GateUsers, U("通行許可ユーザ"),
                                {"msfGateUserList", "cmdAddGateUser", "通行許可ユーザの追加", "cmdDeleteGateUser",
                                 "通行許可の解除"},
                                kPermitListWidth, {18, 22, 18, 12, 16, 10}, this);
    top->addWidget(m_permits, 3, 1);
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
            [this](int id) { m_gate.gateMode = id == 1 ? 1 : 2; });
    connect(useGroup, &QButtonGroup::idClicked, this, [this](int id) { GuardDb([&] { opbUseFlag_Click(id); }); });
    connect(doorGroup, &QButtonGroup::idClicked, this, [this](int id) { GuardDb([&] { optDoorMode_Click(id); }); });
    connect(alarmGroup, &QButtonGroup::idClicked, this, [this](int id) { GuardDb([&] { optAlarm_Click(id); }); });
    connect(cmdRegist, &QPushButton::clicked, this, [this] { GuardDb([this] { cmdRegist_Click(); }); });
    connect(cmdUpdate, &QPushButton::clicked, this, [this] { GuardDb([this] { cmdUpdate_Click(); }); });
    connect(cmdDelete, &QPushButton::clicked, this, [this] { GuardDb([this] { cmdDelete_Click(); }); });
    connect(cmdSearch, &QPushButton::clicked, this, [this] { cmdSearch_Click(); });
    connect(m_cmdPollGate, &QPushButton::clicked, this, [this] { GuardDb([this] { cmdPollGate_Click(); }); });
    connect(m_permits->addButton(), &QPushButton::clicked, this, [this] { cmdAddGateUser_Click(); });
    connect(m_permits->withdrawButton(), &QPushButton::clicked, this,
            [this] { GuardDb([this] { cmdDeleteGateUser_Click(); }); });
    connect(m_permits->sendButton(), &QPushButton::clicked, this, [this] { GuardDb([this] { cmdSendGUser_Click(); }); });
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

    KeepGridLayout(m_permits->view(), QStringLiteral("2"));

    m_zones->setDataSource(QStringLiteral("telmar_v1.m_gate"));
    m_zones->setDataField(QStringLiteral("zone_name"));
    m_zones->setOrder(QStringLiteral("zone_name ASC"));

}

bool frmGateMan::InUse() const
{
    return m_gate.useFlag == 1;
}

// ---- lists ---------------------------------------------------------------------------------------

void frmGateMan::ShowgateList()
{
    ReloadListShowing(*m_gateList, *m_msfGateList, m_txtId->text());
}

void frmGateMan::ShowGateUserList()
{
    m_permits->Load(m_txtId->text());
    SetSendButton();
}

int frmGateMan::PermitRows() const
{
    return m_permits->Rows();
}

void frmGateMan::SetSendButton()
{
    m_permits->sendButton()->setEnabled(PermitRules::SendEnabled(mode(), InUse(), m_permits->model()->SyncDisps()));
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
    for (QLineEdit *e : {m_txtId, m_txtName, m_txtPort, m_txtBikou, m_txtIP[0], m_txtIP[1], m_txtIP[2], m_txtIP[3]})
        e->clear();
    m_gate = GateRules::Record();
    m_cmbZone->setEditText(QString());
    m_lblRegistDT->clear();
    m_lblRefixDT->clear();
    m_doorMode = -1;
    m_alarm = -1;
    m_loadedIpAddr.clear();
    m_opbGateMode[1]->setChecked(true);
    ShowUseState();
    ShowGateUserList();
}

void frmGateMan::LoadRecord(bool found)
{
    if (found) {
        m_txtId->setText(m_gate.gateId);
        m_txtName->setText(m_gate.gateName);
        m_txtPort->setText(m_gate.portNo);
        m_txtBikou->setText(m_gate.bikou);
        m_lblRegistDT->setText(m_gate.registDt);
        m_lblRefixDT->setText(m_gate.refixDt);
        const QStringList parts = GateRules::SplitIp(m_gate.ipAddr);
        for (int i = 0; i < 4; ++i)
            m_txtIP[i]->setText(parts.at(i));
        m_cmbZone->setEditText(m_gate.zoneName);
        m_loadedIpAddr = m_gate.ipAddr;
    }
    m_opbGateMode[m_gate.gateMode == 2 ? 2 : 1]->setChecked(true);
    ShowUseState();
}

void frmGateMan::ApplyModeRules()
{
    GateRules::Record stored;
    bool found = false;
    try {
        found = GateRules::LoadRecord(m_txtId->text(), &stored);
    } catch (...) {
        // The gate shown before is not the one typed now: nothing may be written to it, or to
        // its device, as if the ID had been read.
        Rules().Apply(this, mode(), false);
        SetDeviceControlsEnabled(false);
        m_permits->sendButton()->setEnabled(false);
        throw;
    }
    if (found)
        m_gate = stored; // a gate not found leaves the fields as typed
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
    m_gate.zoneName = GateRules::CutZone(text);
}

void frmGateMan::JoinIpBoxes()
{
    m_gate.ipAddr =
        GateRules::JoinIp({m_txtIP[0]->text(), m_txtIP[1]->text(), m_txtIP[2]->text(), m_txtIP[3]->text()});
}

void frmGateMan::TakeInput()
{
    m_gate.gateId = m_txtId->text();
    m_gate.gateName = m_txtName->text();
    m_gate.portNo = m_txtPort->text();
    m_gate.bikou = m_txtBikou->text();
    JoinIpBoxes();
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
        m_permits->sendButton()->setEnabled(false);
        return;
    }
    int door = 0, alarm = 0;
    bool read = false;
    {
        const ScreenDisabled off(this);
        read = GateRules::ReadDeviceSettings(m_txtId->text(), m_gate.ipAddr, m_gate.portNo, &door, &alarm);
    }
    if (!read) {
        // A gate whose settings cannot be read is not talked to by anyone until checked again.
        TakeInput();
        m_gate.useFlag = 0;
        GateRules::UpdateRecord(m_gate);
        ShowUseState();
        SetDeviceControlsEnabled(false);
        m_permits->sendButton()->setEnabled(false);
        MsgBox::Show(U("ゲートへの接続に失敗しました。このゲートは利用出来ません。"), QMessageBox::Ok,
                     QMessageBox::Warning);
        m_txtUseFlagMsg->setText(U("このゲートは、現在利用出来ません。"));
        return;
    }
    if (door >= 0 && door < 3)
        m_optDoorMode[door]->setChecked(true);
    if (alarm >= 0 && alarm < 2)
        m_optAlarm[alarm]->setChecked(true);
    m_doorMode = door;
    m_alarm = alarm;
    SetDeviceControlsEnabled(true);
    SetSendButton();
}

QString frmGateMan::Validate() const
{
    GateRules::Input in;
    in.gateId = m_txtId->text();
    in.zone = m_gate.zoneName;
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
    TakeInput();
    const QString refused = Validate();
    if (!refused.isEmpty()) {
        MsgBox::Show(refused, QMessageBox::Ok, QMessageBox::Information);
        return;
    }
    const QString today = TodayText();
    m_gate.registDt = today;
    m_gate.refixDt = today;
    m_lblRegistDT->setText(today);
    m_lblRefixDT->setText(today);
    orvel::AddGateLockRow(m_txtId->text(), today);
    QString error;
    if (!GateRules::InsertRecord(m_gate, &error))
        MsgBox::Show(U("登録に失敗しました。") + u'\n' + error, QMessageBox::Ok, QMessageBox::Warning);
    const QString zone = m_cmbZone->currentText();
    m_zones->LoadComboSimple(RdoList(m_cmbZone));
    m_cmbZone->setEditText(zone);
    ShowgateList();
    ShowGateUserList();
    m_mode->select(ModeDetails);
}

void frmGateMan::cmdUpdate_Click()
{
    TakeInput();
    const QString refused = Validate();
    if (!refused.isEmpty()) {
        MsgBox::Show(refused, QMessageBox::Ok, QMessageBox::Information);
        return;
    }
    // A gate at a new address has not been checked there: it leaves use until it is.
    const bool moved = m_gate.ipAddr != m_loadedIpAddr;
    if (moved) {
        m_gate.useFlag = 0;
        ShowUseState();
    }
    m_gate.refixDt = TodayText();
    m_lblRefixDT->setText(m_gate.refixDt);
    GateRules::UpdateRecord(m_gate);
    m_loadedIpAddr = m_gate.ipAddr;
    ShowgateList();
    ShowGateUserList();
    if (moved)
        MsgBox::Show(U("IPアドレスが変更されました。ゲートの【接続確認】を行ってください。"), QMessageBox::Ok,
                     QMessageBox::Information);
}

void frmGateMan::cmdDelete_Click()
{
    const QString refused = GateRules::CheckDelete(QString::number(m_gate.useFlag));
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
        TakeInput();
        m_gate.useFlag = 0;
        ShowUseState();
        m_gate.refixDt = TodayText();
        m_lblRefixDT->setText(m_gate.refixDt);
        GateRules::UpdateRecord(m_gate);
        ShowDeviceSettings();
        return;
    }
    m_cmdPollGate->setEnabled(false);
    {
        const MainWindowDisabled off;
        m_txtUseFlagMsg->setText(U("ゲート接続中。しばらくお待ちください。"));
        const GateRules::Connect result =
            GateRules::ConnectAndSetClock(m_txtId->text(), m_gate.ipAddr, m_gate.portNo, [] {
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
                m_gate.useFlag = 1;
                ShowDeviceSettings();
            } else {
                MsgBox::Show(U("ゲートへの接続に失敗しました。このゲートは利用出来ません。"), QMessageBox::Ok,
                             QMessageBox::Warning);
                m_txtUseFlagMsg->setText(U("このゲートは、現在利用出来ません。"));
                m_gate.useFlag = 0;
                SetDeviceControlsEnabled(false);
            }
            TakeInput();
            m_gate.refixDt = TodayText();
            m_lblRefixDT->setText(m_gate.refixDt);
            GateRules::UpdateRecord(m_gate);
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
    TakeInput();
    m_gate.useFlag = 0;
    m_gate.refixDt = TodayText();
    m_lblRefixDT->setText(m_gate.refixDt);
    GateRules::UpdateRecord(m_gate);
    ShowUseState();
    ShowDeviceSettings();
}

void frmGateMan::optDoorMode_Click(int index)
{
    if (m_doorMode == index)
        return; // the gate already has this setting
    m_doorMode = index;
    GateRules::DeviceWrite written;
    {
        const ScreenDisabled off(this);
        written = GateRules::WriteDeviceByte(m_txtId->text(), m_gate.ipAddr, m_gate.portNo,
                                             GateRules::kDoorModeByte, index);
    }
    if (written == GateRules::DeviceWrite::WriteFailed)
        MsgBox::Show(U("デバイスの設定に失敗しました。"), QMessageBox::Ok, QMessageBox::Warning);
}

void frmGateMan::optAlarm_Click(int index)
{
    if (m_alarm == index)
        return; // the gate already has this setting
    m_alarm = index;
    GateRules::DeviceWrite written;
    {
        const ScreenDisabled off(this);
        written = GateRules::WriteDeviceByte(m_txtId->text(), m_gate.ipAddr, m_gate.portNo,
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
    const QPair<int, int> block = m_permits->SelectedRows();
    if (block.first < 0)
        return;
    for (int r = block.first; r <= block.second; ++r)
        if (!PermitRules::WithdrawPermit(m_permits->model()->Key(r), m_txtId->text()))
            MsgBox::Show(U("削除に失敗しました。"), QMessageBox::Ok, QMessageBox::Warning);
    ShowGateUserList();
}

void frmGateMan::cmdSendGUser_Click()
{
    m_permits->sendButton()->setEnabled(false);
    {
        const MainWindowDisabled off;
        const QList<PermitRules::SendRow> rows =
            m_permits->model()->GateSendRows(m_txtId->text(), m_gate.ipAddr, m_gate.portNo);
        // Every listed user to this one gate, held for the whole run; the gate check only wakes
        // the gate, the requests decide, and the lock is released until it goes.
        PermitRules::SendPolicy policy;
        policy.lock = PermitRules::SendPolicy::Lock::WholeGate;
        policy.gateId = m_txtId->text();
        policy.ipAddr = m_gate.ipAddr;
        policy.portNo = m_gate.portNo;
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
                m_permits->model()->MarkSent(i);
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
