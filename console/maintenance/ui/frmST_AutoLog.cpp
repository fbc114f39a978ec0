#include "frmST_AutoLog.h"

#include "FileDialog.h"
#include "logs/LogListLogic.h"
#include "MainteSettings.h"
#include "MainteUi.h"
#include "MsgBox.h"
#include "RdoAdapters.h"
#include "ScreenLook.h"
#include "ScreenRegistry.h"
#include "rdo_cntl.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

using namespace orvel::mainte;

ORVEL_REGISTER_SCREEN(frmST_AutoLog)

namespace {
const QString kBadFile = QStringLiteral(
    "出力先ファイル名を正しく指定して下さい。もしくは、自動ログ出力「しない」を選択して下さい。");
constexpr int kStartDelayMs = 300;
} // namespace

frmST_AutoLog::frmST_AutoLog(QWidget *parent)
    : QDialog(parent), m_db(std::make_unique<rdo_cntl>())
{
    setObjectName(QStringLiteral("frmST_AutoLog"));
    setWindowTitle(QStringLiteral("ログの自動出力"));
    setModal(true);

    m_txtLogMode = new QLineEdit(this);
    m_txtLogMode->setObjectName(QStringLiteral("txtLogMode"));
    m_txtLogMode->hide();
    m_txtFName = new QLineEdit(this);
    m_txtFName->setObjectName(QStringLiteral("txtFName"));
    for (int i = 0; i < kItems; ++i) {
        m_txtItem[i] = new QLineEdit(this);
        m_txtItem[i]->setObjectName(QStringLiteral("txtItem_%1").arg(i));
        m_txtItem[i]->setProperty("index", i);
        m_txtItem[i]->hide();
    }

    auto *root = new QVBoxLayout(this);
    auto *onOff = new QGroupBox(QStringLiteral("ログの自動出力"), this);
    auto *onOffRow = new QHBoxLayout(onOff);
    auto *group = new QButtonGroup(this);
    for (int i : {1, 0}) {
        m_optLogWrite[i] = new QRadioButton(i ? QStringLiteral("する") : QStringLiteral("しない"), onOff);
        m_optLogWrite[i]->setObjectName(QStringLiteral("optLogWrite_%1").arg(i));
        m_optLogWrite[i]->setProperty("index", i);
        group->addButton(m_optLogWrite[i], i);
        onOffRow->addWidget(m_optLogWrite[i]);
    }
    m_cmbListType = new QComboBox(onOff);
    m_cmbListType->setObjectName(QStringLiteral("cmbListType"));
    for (int k = 0; k < 4; ++k)
        m_cmbListType->addItem(orvel::logs::LogKind(k).name);
    m_cmbListType->setCurrentIndex(-1);
    NameField(m_cmbListType, QStringLiteral("出力するログタイプ"));
    onOffRow->addWidget(m_cmbListType);
    onOffRow->addStretch();
    root->addWidget(onOff);

    auto *file = new QHBoxLayout;
    file->addWidget(LabelFor(m_txtFName, QStringLiteral("出力先ファイル")));
    file->addWidget(m_txtFName, 1);
    auto *cmdFileSearch = new QPushButton(QStringLiteral("参照..."), this);
    cmdFileSearch->setObjectName(QStringLiteral("cmdFileSearch"));
    file->addWidget(cmdFileSearch);
    root->addLayout(file);

    auto *items = new QGroupBox(QStringLiteral("出力項目"), this);
    auto *grid = new QGridLayout(items);
    const char *fixedCaptions[] = {"日付", "時刻"};
    for (int i = 0; i < 2; ++i) {
        auto *fixed = new QCheckBox(QString::fromUtf8(fixedCaptions[i]), items);
        fixed->setObjectName(QStringLiteral("chbItemKotei_%1").arg(i));
        fixed->setChecked(true);
        fixed->setEnabled(false);
        grid->addWidget(fixed, 0, i);
    }
    const char *captions[] = {"ログNo.", "ログ内容", "ユーザID", "ユーザ名", "部署ID", "部署名",
                              "ゲートID", "ゲート名", "ゲート入退区分", "ゲートIPアドレス", "ゾーン名", "認証方法"};
    for (int n = 0; n < 12; ++n) {
        m_chbItem[n] = new QCheckBox(QString::fromUtf8(captions[n]), items);
        m_chbItem[n]->setObjectName(QStringLiteral("chbItem_%1").arg(n));
        m_chbItem[n]->setProperty("index", n);
        grid->addWidget(m_chbItem[n], 1 + n / 3, n % 3);
        connect(m_chbItem[n], &QCheckBox::clicked, this,
                [this, n](bool on) { m_txtItem[n]->setText(on ? QStringLiteral("1") : QStringLiteral("0")); });
    }
    root->addWidget(items);

    auto *cmdOK = new QPushButton(QStringLiteral("ＯＫ"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    m_cmdCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    m_cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(m_cmdCancel);
    root->addLayout(buttons);

    connect(cmdOK, &QPushButton::clicked, this, &frmST_AutoLog::cmdOK_Click);
    connect(m_cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(cmdFileSearch, &QPushButton::clicked, this, [this] {
        const QString name = FileDialog::GetOpenFileName(this, QString(), QStringLiteral("*.csv;;*.*"));
        if (!name.isEmpty())
            m_txtFName->setText(name);
    });

    m_db->setDataSource(QStringLiteral("telmar_vb.t_autolog_info"));
    m_db->setWhere(QStringLiteral("id = 1"));
    m_db->SetBind(QStringLiteral("log_mode"), RdoText(m_txtLogMode), false, true);
    m_db->SetBind(QStringLiteral("file_path"), RdoText(m_txtFName));
    for (int i = 0; i < kItems; ++i)
        m_db->SetBind(QStringLiteral("item_%1").arg(i + 1), RdoText(m_txtItem[i]), false, false, QStringLiteral("#"));
    try {
        m_db->LoadBind();
    } catch (const RdoError &e) {
        MsgBox::Show(e.message(), QMessageBox::Ok, QMessageBox::Critical);
    }

    m_timStart = new QTimer(this);
    m_timStart->setObjectName(QStringLiteral("timStart"));
    m_timStart->setSingleShot(true);
    m_timStart->setInterval(kStartDelayMs);
    connect(m_timStart, &QTimer::timeout, this, &frmST_AutoLog::timStart_Timer);
    m_timStart->start();
}

frmST_AutoLog::~frmST_AutoLog() = default;

void frmST_AutoLog::timStart_Timer()
{
    m_timStart->stop();
    for (int n = 0; n < 12; ++n)
        m_chbItem[n]->setChecked(m_txtItem[n]->text().trimmed() == QLatin1String("1"));
    const int mode = m_txtLogMode->text().trimmed().toInt();
    if (mode != 0) {
        m_optLogWrite[1]->setChecked(true);
        m_cmbListType->setCurrentIndex(mode >= 1 && mode <= 4 ? mode - 1 : -1);
        if (!CanAppendTo(m_txtFName->text())) {
            // The dialog can then only be left with settings that work.
            MsgBox::Show(kBadFile);
            m_cmdCancel->setEnabled(false);
        }
    } else {
        m_optLogWrite[0]->setChecked(true);
    }
}

void frmST_AutoLog::cmdOK_Click()
{
    if (m_timStart->isActive())
        timStart_Timer();
    if (m_optLogWrite[0]->isChecked()) {
        m_txtLogMode->setText(QStringLiteral("0"));
    } else {
        if (m_cmbListType->currentIndex() < 0) {
            MsgBox::Show(QStringLiteral("出力するログタイプを選択してください。"));
            return;
        }
        if (!CanAppendTo(m_txtFName->text())) {
            MsgBox::Show(kBadFile);
            return;
        }
        m_txtLogMode->setText(QString::number(m_cmbListType->currentIndex() + 1));
    }
    if (SaveSettingsRow(*m_db))
        accept();
}
