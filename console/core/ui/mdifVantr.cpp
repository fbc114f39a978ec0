#include "mdifVantr.h"

#include "AdminLogin.h"
#include "BusyCursor.h"
#include "ConsoleTiming.h"
#include "IniRead.h"
#include "MsgBox.h"
#include "Public.h"
#include "RdoAdapters.h"
#include "ScreenLayout.h"
#include "ScreenRegistry.h"
#include "SrvSupervision.h"
#include "UiUnits.h"
#include "clSettingInfo.h"
#include "frmSubTitle.h"

#include "OrvelDefs.h"
#include "SiteFolder.h"
#include "UpgradeSchema.h"
#include "rdo_cntl.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

namespace {

struct MenuButton
{
    const char *caption;
    quint32 colour; // 0x00BBGGRR
    const char *screen; // screen opened, or nullptr
};
// Entries 4 and 5 are not offered to the user.
const MenuButton kMenuPanel[mdifVantr::kMenuButtons] = {
    {"部署管理", 0x00C0C0FF, "frmJobMan"},      {"ユーザ管理", 0x00C0FFC0, "frmUserMan"},
    {"ゲート管理", 0x00FFFFC0, "frmGateMan"},    {"ログ表示", 0x00EAE1FB, "frmListMix"},
    {"ユーザ認証リスト", 0x00EAE1FB, nullptr}, {"ゲート操作ログ", 0x00EAE1FB, nullptr},
    {"終了", 0x00C0C0C0, nullptr},
};

struct MenuEntry
{
    const char *objectName;
    const char *caption;
    char mnemonic;       // the access key, shown as "(&K)" after the caption
    int panelIndex;      // >= 0: same as that menu-panel button
    const char *dialog;  // otherwise: window shown modally
};
struct Menu
{
    const char *objectName;
    const char *caption;
    char mnemonic;
    std::initializer_list<MenuEntry> entries;
};
const Menu kMenus[] = {
    {"mnuMenu", "メニュー", 'M',
     {{"mnuEmpManagement", "部署管理", 'D', 0, nullptr},
      {"mnuUserManagement", "ユーザ管理", 'U', 1, nullptr},
      {"mnuGateManagement", "ゲート管理", 'G', 2, nullptr},
      {"mnuListGate", "ログ表示", 'L', 3, nullptr},
      {"mnuExit", "終了", 'X', mdifVantr::kExitIndex, nullptr}}},
    {"mnuSetting", "設定", 'S',
     {{"mnuDayMainte", "日次処理の設定", 'D', -1, "frmST_DayMainte"},
      {"mnuAutoLog", "ログの自動出力", 'A', -1, "frmST_AutoLog"}}},
    {"mnuBatch", "一括処理", 'B',
     {{"mnuGSetDate", "ゲートに日時を設定", 'T', -1, "frmIK_GTime"},
      {"mnuGUserUpdate", "ゲートにユーザを反映", 'U', -1, "frmIK_GUser"},
      {"mnuImportUser", "ユーザをインポート", 'I', -1, "frmIK_ImportUser"},
      {"mnuExportUser", "ユーザをエクスポート", 'E', -1, "frmIK_ExportUser"},
      {"mnuImportEmp", "部署をインポート", 'M', -1, "frmIK_ImportEmp"},
      {"mnuExportEmp", "部署をエクスポート", 'P', -1, "frmIK_ExportEmp"},
      {"mnuImportGate", "ゲートをインポート", 'G', -1, "frmIK_ImportGate"},
      {"mnuExportGate", "ゲートをエクスポート", 'R', -1, "frmIK_ExportGate"}}},
    {"mnuVersion", "バージョン", 'V', {{"mnuVers", "バージョン", 'V', -1, "frmAbout"}}},
};

// "部署管理" with access key D: "部署管理(&D)".
QString MenuText(const char *caption, char mnemonic)
{
    return QString::fromUtf8(caption) + QStringLiteral("(&") + QLatin1Char(mnemonic) + u')';
}

const char *const kEnd = "END";
const char *const kEnd2 = "END2";

// Gap between the title strip and a newly placed screen.
constexpr int kScreenTopGapTwips = 50;

} // namespace

mdifVantr::mdifVantr(int edition, QWidget *parent) : QMainWindow(parent), m_edition(edition)
{
    setObjectName(QStringLiteral("mdifVantr"));
    SetEdition(edition);
    SetMainWindow(this);
    setWindowTitle(QStringLiteral("Kavrin Manager Ver2"));

    auto *central = new QWidget(this);
    auto *outer = new QVBoxLayout(central);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    m_subTitle = new frmSubTitle(central);
    m_subTitle->hide(); // shown by Load
    outer->addWidget(m_subTitle);
    auto *body = new QHBoxLayout;
    body->setSpacing(0);
    auto *panel = new QWidget(central);
    panel->setObjectName(QStringLiteral("picMenu"));
    BuildMenuPanel(panel);
    body->addWidget(panel);
    m_mdi = new QMdiArea(central);
    m_mdi->setObjectName(QStringLiteral("mdiArea"));
    body->addWidget(m_mdi, 1);
    outer->addLayout(body, 1);
    setCentralWidget(central);

    BuildMenus();
    BuildStatusBar();
    BuildServiceBoxes();

    m_timStart = new QTimer(this);
    m_timStart->setObjectName(QStringLiteral("timStart"));
    m_timStart->setInterval(Timing().startMs);
    connect(m_timStart, &QTimer::timeout, this, &mdifVantr::timStart_Timer);
    m_timSrvChkSend = new QTimer(this);
    m_timSrvChkSend->setObjectName(QStringLiteral("timSrvChkSend"));
    m_timSrvChkSend->setInterval(Timing().srvChkSendMs);
    connect(m_timSrvChkSend, &QTimer::timeout, this, &mdifVantr::timSrvChkSend_Timer);
    m_timDayMainte = new QTimer(this);
    m_timDayMainte->setObjectName(QStringLiteral("timDayMainte"));
    m_timDayMainte->setInterval(Timing().dayMainteMs);
    connect(m_timDayMainte, &QTimer::timeout, this, &mdifVantr::timDayMainte_Timer);

    resize(1024, 720);
}

mdifVantr::~mdifVantr()
{
    if (Settings() == m_settings.get())
        SetSettings(nullptr);
}

void mdifVantr::BuildMenuPanel(QWidget *panel)
{
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(4, 4, 4, 4);
    for (int i = 0; i < kMenuButtons; ++i) {
        const MenuButton &b = kMenuPanel[i];
        auto *btn = new QPushButton(QString::fromUtf8(b.caption), panel);
        btn->setObjectName(QStringLiteral("cmdMenu_%1").arg(i));
        btn->setProperty("index", i);
        btn->setMinimumSize(130, 44);
        btn->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; color: black; }")
                               .arg(BgrColor(b.colour).name()));
        if (i == 4 || i == 5) { // not available to the user
            btn->setVisible(false);
            btn->setEnabled(false);
        }
        connect(btn, &QPushButton::clicked, this, [this, i] { cmdMenu_Click(i); });
        m_cmdMenu[i] = btn;
        if (i == kExitIndex)
            layout->addStretch(1);
        layout->addWidget(btn);
    }
    // Search buttons kept from the original panel; they carry no action and are not shown.
    auto *frame = new QGroupBox(panel);
    frame->setObjectName(QStringLiteral("Frame1"));
    auto *fl = new QVBoxLayout(frame);
    const std::pair<const char *, const char *> assists[] = {
        {"cmdJobAssist", "部署検索"}, {"cmdUserAssist", "ユーザー検索"}, {"cmdGateAssist", "ゲート検索"}};
    for (const auto &[name, caption] : assists) {
        auto *btn = new QPushButton(QString::fromUtf8(caption), frame);
        btn->setObjectName(QString::fromLatin1(name));
        fl->addWidget(btn);
    }
    frame->setVisible(false);
    layout->addWidget(frame);
}

void mdifVantr::BuildMenus()
{
    for (const Menu &m : kMenus) {
        QMenu *menu = menuBar()->addMenu(MenuText(m.caption, m.mnemonic));
        menu->setObjectName(QString::fromLatin1(m.objectName));
        QList<QPair<QAction *, QString>> dialogs;
        for (const MenuEntry &e : m.entries) {
            QAction *a = menu->addAction(MenuText(e.caption, e.mnemonic));
            a->setObjectName(QString::fromLatin1(e.objectName));
            if (e.panelIndex >= 0) {
                const int index = e.panelIndex;
                connect(a, &QAction::triggered, this, [this, index] { cmdMenu_Click(index); });
            } else {
                const QString key = QString::fromLatin1(e.dialog);
                connect(a, &QAction::triggered, this, [this, key] { ScreenRegistry::ShowModal(key, this); });
                dialogs.append({a, key});
            }
        }
        // An entry whose window is not part of this build is offered greyed out, not silently
        // dead; it comes alive as soon as a window of that name is registered.
        auto refresh = [dialogs] {
            for (const auto &[action, key] : dialogs)
                action->setEnabled(ScreenRegistry::Has(key));
        };
        refresh();
        connect(menu, &QMenu::aboutToShow, this, refresh);
    }
}

void mdifVantr::BuildStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    const char *const texts[4] = {"ログ収集サーバ", "確認中", "ユーザー管理サーバ", "確認中"};
    for (int i = 0; i < 4; ++i) {
        auto *l = new QLabel(QString::fromUtf8(texts[i]), bar);
        l->setObjectName(QStringLiteral("StatusBar1_Panel_%1").arg(i + 1));
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        l->setMinimumWidth(i % 2 == 0 ? 140 : 260);
        bar->addPermanentWidget(l, i % 2 == 0 ? 0 : 1);
        m_panel[i] = l;
    }
}

QLineEdit *mdifVantr::HiddenBox(const char *name)
{
    auto *e = new QLineEdit(this);
    e->setObjectName(QString::fromLatin1(name));
    e->hide();
    return e;
}

void mdifVantr::BuildServiceBoxes()
{
    const char *const log[5] = {"txtLogReqCmdId", "txtLogReqArg1", "txtLogReqArg2", "txtLogResult", "txtLogResDetail"};
    const char *const user[5] = {"txtUserReqCmdId", "txtUserReqArg1", "txtUserReqArg2", "txtUserResult",
                                 "txtUserResDetail"};
    for (int i = 0; i < 5; ++i) {
        m_logBoxes[i] = HiddenBox(log[i]);
        m_userBoxes[i] = HiddenBox(user[i]);
    }
}

void mdifVantr::BindSrvRow(rdo_cntl &db, int serverId, QLineEdit *const boxes[5])
{
    db.setDataSource(QStringLiteral("telmar_v1.t_srv_ctrl"));
    db.setWhere(QStringLiteral("server_id = %1").arg(serverId));
    const char *const columns[5] = {"req_cmd", "req_arg1", "req_arg2", "result", "res_detail"};
    for (int i = 0; i < 5; ++i)
        db.SetBind(QString::fromLatin1(columns[i]), RdoText(boxes[i]), false, i == 0);
}

void mdifVantr::SetStatusPanel(int panel, const QString &text)
{
    if (panel >= 1 && panel <= 4)
        m_panel[panel - 1]->setText(text);
}

QString mdifVantr::StatusPanel(int panel) const
{
    return panel >= 1 && panel <= 4 ? m_panel[panel - 1]->text() : QString();
}

rdo_cntl *mdifVantr::SrvBinding(int serverId) const
{
    return serverId == orvel::srv::Harvester ? m_logSrv.get()
           : serverId == orvel::srv::Courier ? m_userSrv.get()
                                              : nullptr;
}

SupervisionHost::SrvRow mdifVantr::ReadSrvRow(int serverId)
{
    SrvRow row;
    rdo_cntl *binding = SrvBinding(serverId);
    if (!binding)
        return row;
    try {
        if (!binding->LoadBind(false))
            return row;
    } catch (const RdoError &) {
        return row; // an unreadable row is looked at again on the next tick
    }
    QLineEdit *const *boxes = serverId == orvel::srv::Harvester ? m_logBoxes : m_userBoxes;
    QString *fields[5] = {&row.reqCmd, &row.arg1, &row.arg2, &row.result, &row.detail};
    for (int i = 0; i < 5; ++i)
        *fields[i] = boxes[i]->text();
    row.ok = true;
    return row;
}

QString mdifVantr::RespTimeoutSetting() const
{
    return Settings() ? Settings()->GetData(QStringLiteral("SrvRespTimoutInit"), QStringLiteral("60000"))
                      : QStringLiteral("60000");
}

QDateTime mdifVantr::LastRestart(int serverId) const
{
    return serverId == 1 || serverId == 2 ? m_lastRestart[serverId - 1] : QDateTime();
}

void mdifVantr::SetLastRestart(int serverId, const QDateTime &when)
{
    if (serverId == 1 || serverId == 2)
        m_lastRestart[serverId - 1] = when;
}

QWidget *mdifVantr::Screen(const QString &key) const
{
    const QMdiSubWindow *sub = m_screens.value(key);
    return sub ? sub->widget() : nullptr;
}

void mdifVantr::SetClock(DayMainteTrigger::Clock clock)
{
    m_trigger = DayMainteTrigger(std::move(clock));
}

// ---- start-up ---------------------------------------------------------------------------------

void mdifVantr::Load()
{
    SetAppTitle(m_edition == orvel::EditionFelica ? QStringLiteral("Kavrin Manager 2 (Felica)")
                                                  : QStringLiteral("Kavrin Manager 2 (Mifare)"));
    setWindowTitle(AppTitle());
    QDir::setCurrent(orvel::SiteFolder());
    // The service process records start empty; the supervision owns them.
    m_subTitle->show();

    if (!ReadIni()) {
        StartFailed(kEnd2);
        return;
    }

    m_settings = std::make_unique<clSettingInfo>(QStringLiteral("Orvel"), QStringLiteral("Any"));
    m_settings->setAppName(QStringLiteral("Kavrin Manager"));
    SetSettings(m_settings.get());

    orvel::UseSiteOdbcIni();
    m_db = std::make_unique<rdo_cntl>();
    if (!m_db->InitMDB(QString::fromLatin1(orvel::kDsn), QString::fromLatin1(orvel::kDbUser),
                       QString::fromLatin1(orvel::kDbPassword))) {
        m_db.reset();
        StartFailed(kEnd);
        return;
    }
    orvel::UpgradeSchema(*m_db, m_edition);

    m_logSrv = std::make_unique<rdo_cntl>();
    BindSrvRow(*m_logSrv, orvel::srv::Harvester, m_logBoxes);
    m_userSrv = std::make_unique<rdo_cntl>();
    BindSrvRow(*m_userSrv, orvel::srv::Courier, m_userBoxes);
    m_supervision = CreateSrvSupervision(*this);

    m_timStart->start();
}

void mdifVantr::StartFailed(const char *tag)
{
    m_timStart->setProperty("Tag", QString::fromLatin1(tag));
    m_timStart->start();
}

void mdifVantr::timStart_Timer()
{
    m_timStart->stop();
    const QString tag = m_timStart->property("Tag").toString();
    if (tag == QLatin1String(kEnd)) {
        MsgBox::Show(QStringLiteral("データベースへの接続に失敗しました。 アプリケーションを終了します。"),
                     QMessageBox::Ok, QMessageBox::Critical);
        EndWithoutUnload();
        return;
    }
    if (tag == QLatin1String(kEnd2)) {
        EndWithoutUnload();
        return;
    }

    // A live administrator with a fingerprint or card credential must log in first.
    bool loginRequired = false;
    try {
        loginRequired = AdminLogin::LoginRequired();
    } catch (const RdoError &) {
        // Without an answer the login cannot be skipped safely: end as for a failed connection.
        MsgBox::Show(QStringLiteral("データベースへの接続に失敗しました。 アプリケーションを終了します。"),
                     QMessageBox::Ok, QMessageBox::Critical);
        EndWithoutUnload();
        return;
    }
    if (loginRequired && !RunLogin())
        return;

    ScreenRegistry::ShowModal(QStringLiteral("frmStartChk"), this);
    if (IsProgramEnding())
        return;

    m_timSrvChkSend->start();
    m_timDayMainte->start();
    const QDateTime now = QDateTime::currentDateTime();
    m_lastRestart[0] = m_lastRestart[1] = now;

    // Without a window manager (a bare X server) maximising alone leaves the size unchanged.
    if (QScreen *sc = screen())
        setGeometry(sc->availableGeometry());
    showMaximized();
    clWinTool::SetWinOrder(this);
    QCoreApplication::processEvents();
    show();
    QCoreApplication::processEvents();

    // Scripts (screenshots, demos) may name what to open at start: a menu-panel screen, a menu's
    // window (frmST_DayMainte ...), or "mnuExit" for the exit question.
    const QString openAtStart = qEnvironmentVariable("ORVEL_OPEN_SCREEN");
    bool openedAtStart = false;
    for (int i = 0; i < kMenuButtons && !openAtStart.isEmpty(); ++i)
        if (kMenuPanel[i].screen && openAtStart == QLatin1String(kMenuPanel[i].screen)) {
            cmdMenu_Click(i);
            openedAtStart = true;
        }
    if (!openAtStart.isEmpty() && !openedAtStart) {
        for (const Menu &m : kMenus)
            for (const MenuEntry &e : m.entries)
                if ((e.dialog && openAtStart == QLatin1String(e.dialog)) ||
                    (e.panelIndex == kExitIndex && openAtStart == QLatin1String(e.objectName)))
                    if (QAction *a = findChild<QAction *>(QLatin1String(e.objectName))) {
                        QTimer::singleShot(0, a, &QAction::trigger);
                        openedAtStart = true;
                    }
    }
    // Any other registered window (an assist window such as frmCardAssist) opens modally.
    if (!openedAtStart && !openAtStart.isEmpty() && ScreenRegistry::Has(openAtStart))
        QTimer::singleShot(0, this, [this, openAtStart] { ScreenRegistry::ShowModal(openAtStart, this); });
    // ... or a gate whose error window to show, as the supervision does when a gate fails.
    const QString gateError = qEnvironmentVariable("ORVEL_SHOW_GATE_ERROR");
    if (!gateError.isEmpty())
        QTimer::singleShot(0, this, [this, gateError] { ScreenRegistry::ShowGateError(gateError, this); });
}

bool mdifVantr::RunLogin()
{
    // Start-up goes on only after the login window has closed with a success: a console that
    // has no login window, or whose window went without one, ends instead of skipping it.
    bool succeeded = false;
    const bool shown = ScreenRegistry::ShowModal(QStringLiteral("frmLogin"), this, [&succeeded](QWidget *w) {
        if (auto *dlg = qobject_cast<QDialog *>(w))
            QObject::connect(dlg, &QDialog::finished, dlg, [&succeeded](int result) {
                succeeded = result == QDialog::Accepted;
            });
    });
    if (IsProgramEnding())
        return false;
    if (!shown)
        MsgBox::Show(QStringLiteral("管理者認証の画面を表示できません。 アプリケーションを終了します。"),
                     QMessageBox::Ok, QMessageBox::Critical);
    if (!shown || !succeeded) {
        EndWithoutUnload();
        return false;
    }
    return true;
}

void mdifVantr::EndWithoutUnload()
{
    m_skipUnload = true;
    EndProgram();
}

// ---- timers -------------------------------------------------------------------------------------

void mdifVantr::timSrvChkSend_Timer()
{
    m_timSrvChkSend->stop();
    if (m_supervision)
        m_supervision->SendSrvCheck();
    // The daily maintenance keeps supervision off for its whole run, even when it started while
    // this tick was waiting in a window.
    if (!m_unloaded && !IsProgramEnding() && !m_inDayMainte)
        m_timSrvChkSend->start();
}

QString mdifVantr::ReadDayMainteTime() const
{
    try {
        rdo_cntl q;
        q.setDataSource(QStringLiteral("telmar_v1.set_mainte"));
        q.setWhere(QStringLiteral("mainte_id = 1"));
        return q.GetData(QStringLiteral("day_mainte_time")).toString();
    } catch (const RdoError &) {
        return QString(); // an unreadable setting starts nothing this minute
    }
}

void mdifVantr::timDayMainte_Timer()
{
    m_timDayMainte->stop();
    if (m_trigger.Tick([this] { return ReadDayMainteTime(); })) {
        m_timSrvChkSend->stop();
        setEnabled(false);
        m_inDayMainte = true;
        ScreenRegistry::ShowModal(QStringLiteral("frmDayMainte"), this);
        m_inDayMainte = false;
        if (IsProgramEnding() || m_unloaded)
            return;
        setEnabled(true);
        m_timSrvChkSend->start();
        m_timDayMainte->start();
        QCoreApplication::processEvents();
        show();
        QCoreApplication::processEvents();
        return;
    }
    if (!m_unloaded && !IsProgramEnding())
        m_timDayMainte->start();
}

// ---- menu panel ---------------------------------------------------------------------------------

void mdifVantr::cmdMenu_Click(int index)
{
    if (index < 0 || index >= kMenuButtons)
        return;
    const frmSubTitle::Label saved0 = m_subTitle->label(0);
    const frmSubTitle::Label saved1 = m_subTitle->label(1);
    const QColor colour = BgrColor(kMenuPanel[index].colour);
    m_subTitle->setLabel(0, QString::fromUtf8(kMenuPanel[index].caption), colour);

    if (index == kExitIndex) {
        m_subTitle->setLabel(1, QStringLiteral("終了確認"), colour);
        const auto answer = MsgBox::Show(QStringLiteral("Kavrin Manager を終了しますか？"),
                                         QMessageBox::Yes | QMessageBox::No, QMessageBox::Question,
                                         QStringLiteral("Kavrin Manager"), QMessageBox::No);
        if (answer == QMessageBox::Yes) {
            close();
            EndProgram();
            return;
        }
        m_subTitle->setLabel(0, saved0);
        m_subTitle->setLabel(1, saved1);
        return;
    }
    if (kMenuPanel[index].screen)
        OpenScreen(index);
}

void mdifVantr::OpenScreen(int index)
{
    const QString key = QString::fromLatin1(kMenuPanel[index].screen);
    QPointer<QMdiSubWindow> sub = m_screens.value(key);
    if (!sub || !sub->widget()) {
        QWidget *screen = ScreenRegistry::Create(key, nullptr);
        if (!screen)
            return;
        const bool sized = screen->testAttribute(Qt::WA_Resized);
        const QSize wanted = screen->size();
        sub = m_mdi->addSubWindow(screen);
        // A screen that chose its size keeps it; the sub-window adds its frame around it. Either
        // way it opens no larger than the document area, so nothing of it is out of reach.
        QSize size = sized ? wanted + (sub->sizeHint() - screen->sizeHint()) : sub->sizeHint();
        const QSize room = m_mdi->viewport()->size() - QSize(0, TwipsToPx(kScreenTopGapTwips));
        if (m_mdi->isVisible() && room.isValid())
            size = size.boundedTo(room);
        sub->resize(size);
        // Closing a screen hides it; it stays loaded with its state until the console ends.
        sub->setAttribute(Qt::WA_DeleteOnClose, false);
        sub->move(0, TwipsToPx(kScreenTopGapTwips));
        m_screens.insert(key, sub);
        screen->setProperty("Tag", QStringLiteral("Loaded"));
        m_cmdMenu[index]->setProperty("Tag", QStringLiteral("Loaded"));
    }
    SetCurrentScreen(sub->widget());
    sub->widget()->show();
    sub->show();
    sub->raise();
    m_mdi->setActiveSubWindow(sub);
}

// ---- exit ---------------------------------------------------------------------------------------

void mdifVantr::SendSrvExit()
{
    if (m_supervision)
        m_supervision->SendSrvExit();
}

void mdifVantr::closeEvent(QCloseEvent *event)
{
    if (!m_skipUnload && !m_unloaded) {
        m_unloaded = true;
        Unload();
    }
    event->accept();
}

void mdifVantr::Unload()
{
    m_timSrvChkSend->stop();
    // Stopping the services lets events run for many seconds; the maintenance must not start then.
    m_timDayMainte->stop();
    // Open screens keep their layouts while the settings store is still there.
    for (const QPointer<QMdiSubWindow> &sub : std::as_const(m_screens))
        if (sub)
            if (auto *keeper = dynamic_cast<SavesLayout *>(sub->widget()))
                keeper->SaveLayouts();
    {
        // Stopping the services takes a while: the pointer says so.
        const BusyCursor busy;
        SendSrvExit();
    }
    SetSettings(nullptr);
    m_settings.reset();
}
