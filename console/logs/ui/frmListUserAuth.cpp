#include "frmListUserAuth.h"

#include "DateField.h"
#include "FileDialog.h"
#include "LogListLogic.h"
#include "MsfGrid.h"
#include "MsgBox.h"
#include "Public.h"
#include "RdoAdapters.h"
#include "ScreenActivation.h"
#include "ScreenLook.h"
#include "ScreenRegistry.h"
#include "frmUserAssist.h"
#include "rdo_cntl.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace orvel::logs;

ORVEL_REGISTER_SCREEN(frmListUserAuth)

namespace {
constexpr quint32 kListSubTitleColour = 15393275;
}

frmListUserAuth::frmListUserAuth(QWidget *parent)
    : QWidget(parent), m_list(std::make_unique<rdo_cntl>()), m_users(std::make_unique<rdo_cntl>())
{
    setObjectName(QStringLiteral("frmListUserAuth"));
    setWindowTitle(QStringLiteral("ゲート認証リスト"));
    resize(900, 560);

    auto *choice = new QGroupBox(QStringLiteral("リスト選択"), this);
    auto *choiceLayout = new QVBoxLayout(choice);
    auto *group = new QButtonGroup(this);
    const char *captions[] = {"入退室情報", "認証情報"};
    const char *hints[] = {"認証に成功したユーザーのリスト", "認証を試みたユーザーのリスト"};
    for (int i = 0; i < 2; ++i) {
        m_optListType[i] = new QRadioButton(QString::fromUtf8(captions[i]), choice);
        m_optListType[i]->setObjectName(QStringLiteral("optListType_%1").arg(i));
        m_optListType[i]->setProperty("index", i);
        m_optListType[i]->setToolTip(QString::fromUtf8(hints[i]));
        group->addButton(m_optListType[i], i);
        auto *row = new QHBoxLayout;
        row->addWidget(m_optListType[i]);
        row->addWidget(new QLabel(QString::fromUtf8(hints[i]), choice));
        row->addStretch();
        choiceLayout->addLayout(row);
    }
    m_imDateFrom = NewDateField(QStringLiteral("imDateFrom"), this);
    m_imDateTo = NewDateField(QStringLiteral("imDateTo"), this);
    m_cmbUser = new QComboBox(this);
    m_cmbUser->setObjectName(QStringLiteral("cmbUser"));
    m_cmbUser->setMinimumWidth(200);
    m_chbShowDelUser = new QCheckBox(QStringLiteral("削除されたユーザも対象"), this);
    m_chbShowDelUser->setObjectName(QStringLiteral("chbShowDelUser"));
    m_cmdSearchUser = new QPushButton(QStringLiteral("ユーザ検索"), this);
    m_cmdSearchUser->setObjectName(QStringLiteral("cmdSearchUser"));
    m_cmdSearch = new QPushButton(QStringLiteral("表示"), this);
    m_cmdSearch->setObjectName(QStringLiteral("cmdSearch"));
    m_cmdPrintCSV = new QPushButton(QStringLiteral("ＣＳＶ出力"), this);
    m_cmdPrintCSV->setObjectName(QStringLiteral("cmdPrintCSV"));
    m_msfLogGateOpe = new MsfGrid(this);
    m_msfLogGateOpe->setObjectName(QStringLiteral("msfLogGateOpe"));

    auto *period = new QHBoxLayout;
    period->addWidget(LabelFor(m_imDateFrom, QStringLiteral("期　間")));
    period->addWidget(m_imDateFrom);
    period->addWidget(LabelFor(m_imDateTo, QStringLiteral("～")));
    period->addWidget(m_imDateTo);
    NameField(m_imDateFrom, QStringLiteral("期間の開始日"));
    NameField(m_imDateTo, QStringLiteral("期間の終了日"));
    NameField(m_msfLogGateOpe, QStringLiteral("認証リスト"));
    period->addStretch();
    auto *user = new QHBoxLayout;
    user->addWidget(LabelFor(m_cmbUser, QStringLiteral("ユーザー")));
    user->addWidget(m_cmbUser);
    user->addWidget(m_cmdSearchUser);
    user->addWidget(m_chbShowDelUser);
    user->addStretch();
    user->addWidget(m_cmdSearch);
    user->addWidget(m_cmdPrintCSV);
    auto *root = new QVBoxLayout(this);
    root->addWidget(choice);
    root->addLayout(period);
    root->addLayout(user);
    root->addWidget(m_msfLogGateOpe, 1);

    DeclareUserAuthFields(*m_list);
    m_msfLogGateOpe->setFixedRows(1);
    m_msfLogGateOpe->setCols(7);
    const char *headers[] = {"ログ出力日付", "ゲートID", "ゾーン", "ゲート名", "入／退", "認証結果", "詳細"};
    for (int c = 0; c < 7; ++c)
        m_msfLogGateOpe->setTextMatrix(0, c, QString::fromUtf8(headers[c]));
    m_msfLogGateOpe->setColumnWidth(0, 150);
    m_msfLogGateOpe->setColumnWidth(6, 180);

    m_users->setDataSource(QStringLiteral("telmar_v1.m_user"));
    m_users->setDataField(QStringLiteral("user_name"));
    m_users->setCodeField(QStringLiteral("user_id"));
    m_users->setOrder(QStringLiteral("user_id ASC"));

    SetSubTitle(0, QStringLiteral("一覧表示"), kListSubTitleColour);
    SetDateField(m_imDateFrom, QDate::currentDate().addDays(-7));
    SetDateField(m_imDateTo, QDate::currentDate());
    m_optListType[0]->setChecked(true);
    optListType_Click();

    connect(group, &QButtonGroup::idClicked, this, [this](int) { optListType_Click(); });
    connect(m_chbShowDelUser, &QCheckBox::clicked, this, &frmListUserAuth::ReloadUsers);
    connect(m_cmdSearchUser, &QPushButton::clicked, this, &frmListUserAuth::cmdSearchUser_Click);
    connect(m_cmdSearch, &QPushButton::clicked, this, &frmListUserAuth::Search);
    connect(m_cmdPrintCSV, &QPushButton::clicked, this, &frmListUserAuth::PrintCsv);
    ReloadUsers();
    WatchActivation(this, [this](bool active) {
        if (active)
            ReloadUsers();
    });
}

frmListUserAuth::~frmListUserAuth() = default;

void frmListUserAuth::optListType_Click()
{
    m_list->setDataSource(UserAuthKind(m_optListType[1]->isChecked() ? 1 : 0).view);
}

void frmListUserAuth::ReloadUsers()
{
    m_users->setWhere(m_chbShowDelUser->isChecked() ? QString() : QStringLiteral("delete_flag = 0"));
    bool any = false;
    try {
        any = m_users->LoadCombo(RdoList(m_cmbUser));
    } catch (const RdoError &e) {
        MsgBox::Show(e.message(), QMessageBox::Ok, QMessageBox::Critical);
    }
    m_cmdSearch->setEnabled(any);
    m_cmdPrintCSV->setEnabled(any);
    if (any)
        m_cmbUser->setCurrentIndex(0);
}

void frmListUserAuth::USER_SetUserId(const QString &userId)
{
    const qint64 wanted = userId.trimmed().toLongLong();
    for (int i = 0; i < m_cmbUser->count(); ++i) {
        if (RdoList(m_cmbUser)->itemData(i) == wanted) {
            m_cmbUser->setCurrentIndex(i);
            Search();
            return;
        }
    }
}

bool frmListUserAuth::CheckDates()
{
    const QString refusal = CheckPeriod(DateFieldText(m_imDateFrom), DateFieldText(m_imDateTo));
    if (refusal.isEmpty())
        return true;
    MsgBox::Show(refusal);
    return false;
}

void frmListUserAuth::Search()
{
    if (!CheckDates() || m_cmbUser->currentIndex() < 0)
        return;
    ApplyUserAuthFilter(*m_list, DateFieldText(m_imDateFrom), DateFieldText(m_imDateTo),
                        RdoList(m_cmbUser)->itemData(m_cmbUser->currentIndex()));
    try {
        m_list->LoadGrid(m_msfLogGateOpe, -1);
    } catch (const RdoError &e) {
        MsgBox::Show(QStringLiteral("ログの読み込みに失敗しました。\r\n") + e.message(), QMessageBox::Ok,
                     QMessageBox::Critical);
    }
}

void frmListUserAuth::PrintCsv()
{
    // The rows are those of the last Search: the conditions stay on the list instance.
    if (!CheckDates())
        return;
    const UserAuthKindInfo kind = UserAuthKind(m_optListType[1]->isChecked() ? 1 : 0);
    const QString file =
        FileDialog::GetSaveFileName(this, QString(), kind.fileName, QStringLiteral("*.csv"), QStringLiteral("csv"));
    if (file.isEmpty())
        return;
    qint32 result = -1;
    try {
        result = m_list->PrintCSV(file, UserAuthTitleBlock(kind, m_cmbUser->currentText(), DateFieldText(m_imDateFrom),
                                                           DateFieldText(m_imDateTo)));
    } catch (const RdoError &) {
        result = -1;
    }
    if (result < 0)
        MsgBox::Show(QStringLiteral("CSVファイルの出力に失敗しました。"));
}

void frmListUserAuth::cmdSearchUser_Click()
{
    const bool withDeleted = m_chbShowDelUser->isChecked();
    auto *picker = new frmUserAssist(QString(), withDeleted ? QStringLiteral(" ユーザ検索（削除者も対象）") : QString(),
                                     MainWindow());
    picker->setAttribute(Qt::WA_DeleteOnClose);
    frmUserAssist::g_bSearchDelUserAdd = withDeleted;
    SetCurrentScreen(this);
    OpenUnderBusy(picker);
    frmUserAssist::g_bSearchDelUserAdd = false;
}
