#include "frmListMix.h"

#include "DateField.h"
#include "FileDialog.h"
#include "LogGridModel.h"
#include "LogGridView.h"
#include "LogListLogic.h"
#include "MsgBox.h"
#include "Public.h"
#include "ScreenActivation.h"
#include "ScreenLook.h"
#include "ScreenRegistry.h"
#include "ConsoleTiming.h"
#include "ScreenLayout.h"
#include "rdo_cntl.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

using namespace orvel::logs;

ORVEL_REGISTER_SCREEN(frmListMix)

namespace {
constexpr quint32 kListSubTitleColour = 15393275;

QLineEdit *NewFilter(const char *name, QWidget *parent)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    return e;
}
} // namespace

frmListMix::frmListMix(QWidget *parent)
    : QWidget(parent), m_grid(std::make_unique<rdo_cntl>()), m_csv(std::make_unique<rdo_cntl>())
{
    setObjectName(QStringLiteral("frmListMix"));
    setWindowTitle(QStringLiteral("ログ表示"));
    resize(1000, 600);

    m_cmbListType = new QComboBox(this);
    m_cmbListType->setObjectName(QStringLiteral("cmbListType"));
    for (int i = 0; i < 4; ++i)
        m_cmbListType->addItem(LogKind(i).name);
    m_imDateFrom = NewDateField(QStringLiteral("imDateFrom"), this);
    m_imDateTo = NewDateField(QStringLiteral("imDateTo"), this);
    m_txtUserName = NewFilter("txtUserName", this);
    m_txtEmpName = NewFilter("txtEmpName", this);
    m_txtGateName = NewFilter("txtGateName", this);
    m_txtZoneName = NewFilter("txtZoneName", this);
    m_cmbDoorMode = new QComboBox(this);
    m_cmbDoorMode->setObjectName(QStringLiteral("cmbDoorMode"));
    m_cmbDoorMode->addItems({QStringLiteral("入退室"), QStringLiteral("入室のみ"), QStringLiteral("退室のみ")});
    m_chbAutoRead = new QCheckBox(QStringLiteral("自動表示（最新21件のログ情報を自動表示します。）"), this);
    m_chbAutoRead->setObjectName(QStringLiteral("chbAutoRead"));
    m_timAutoRead = new QTimer(this);
    m_timAutoRead->setObjectName(QStringLiteral("timAutoRead"));
    m_timAutoRead->setInterval(Timing().autoReadMs);
    m_cmdSearch = new QPushButton(QStringLiteral("表示"), this);
    m_cmdSearch->setObjectName(QStringLiteral("cmdSearch"));
    m_cmdPrintCSV = new QPushButton(QStringLiteral("ＣＳＶ出力"), this);
    m_cmdPrintCSV->setObjectName(QStringLiteral("cmdPrintCSV"));
    m_rows = new LogGridModel(10, this);
    m_msfLogGateOpe = new LogGridView(m_rows, this);
    m_msfLogGateOpe->setObjectName(QStringLiteral("msfLogGateOpe"));

    auto *filters = new QGridLayout;
    auto label = [](QWidget *field, const char *text) { return LabelFor(field, QString::fromUtf8(text)); };
    filters->addWidget(label(m_cmbListType, "ログタイプ"), 0, 0);
    filters->addWidget(m_cmbListType, 0, 1);
    filters->addWidget(label(m_imDateFrom, "期　間"), 0, 2);
    auto *period = new QHBoxLayout;
    period->addWidget(m_imDateFrom);
    period->addWidget(label(m_imDateTo, "～"));
    period->addWidget(m_imDateTo);
    period->addStretch();
    NameField(m_imDateFrom, QStringLiteral("期間の開始日"));
    NameField(m_imDateTo, QStringLiteral("期間の終了日"));
    filters->addLayout(period, 0, 3, 1, 3);
    filters->addWidget(label(m_txtUserName, "ユーザ名"), 1, 0);
    filters->addWidget(m_txtUserName, 1, 1);
    filters->addWidget(label(m_txtEmpName, "部署名"), 1, 2);
    filters->addWidget(m_txtEmpName, 1, 3);
    filters->addWidget(label(m_cmbDoorMode, "ゲート入退区分"), 1, 4);
    filters->addWidget(m_cmbDoorMode, 1, 5);
    filters->addWidget(label(m_txtGateName, "ゲート名"), 2, 0);
    filters->addWidget(m_txtGateName, 2, 1);
    filters->addWidget(label(m_txtZoneName, "ゾーン名"), 2, 2);
    filters->addWidget(m_txtZoneName, 2, 3);
    NameField(m_msfLogGateOpe, QStringLiteral("ログ一覧"));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_chbAutoRead);
    buttons->addStretch();
    buttons->addWidget(m_cmdSearch);
    buttons->addWidget(m_cmdPrintCSV);
    auto *root = new QVBoxLayout(this);
    root->addLayout(filters);
    root->addLayout(buttons);
    root->addWidget(m_msfLogGateOpe, 1);

    // Both field lists and the order; the grid shows the grid list's captions as its header.
    DeclareLogGridFields(*m_grid);
    DeclareLogCsvFields(*m_csv);
    m_grid->setDataSource(LogKind(0).view);
    m_csv->setDataSource(LogKind(0).view);
    static const char *captions[] = {"ログ出力日付", "ログNo.", "ログ内容", "ユーザID", "ユーザ名",
                                     "部署名", "ゲート名", "ゲート入退区分", "ゾーン名", "認証方法"};
    static const Qt::Alignment aligns[] = {Qt::AlignCenter, Qt::AlignCenter, Qt::AlignLeft, Qt::AlignCenter,
                                           Qt::AlignLeft,   Qt::AlignLeft,   Qt::AlignLeft, Qt::AlignCenter,
                                           Qt::AlignLeft,   Qt::AlignCenter};
    for (int c = 0; c < 10; ++c) {
        m_rows->setTextMatrix(0, c, QString::fromUtf8(captions[c]));
        m_rows->setColumnAlignment(c, aligns[c] | Qt::AlignVCenter);
    }
    m_rows->SetPackedFormats(LogGridFormats());
    // Every column, zone and method included, fits the screen as it opens.
    static const int widths[] = {150, 50, 150, 90, 90, 80, 90, 100, 80, 70};
    for (int c = 0; c < 10; ++c)
        m_msfLogGateOpe->setColumnWidth(c, widths[c]);
    RestoreGridLayout(objectName(), *m_msfLogGateOpe);

    SetDateField(m_imDateFrom, QDate::currentDate().addDays(-7));
    SetDateField(m_imDateTo, QDate::currentDate());
    m_cmbListType->setCurrentIndex(0);
    m_cmbDoorMode->setCurrentIndex(0);

    connect(m_chbAutoRead, &QCheckBox::clicked, this, &frmListMix::chbAutoRead_Click);
    connect(m_timAutoRead, &QTimer::timeout, this, [this] {
        if (m_chbAutoRead->isChecked())
            Search();
    });
    connect(m_cmdSearch, &QPushButton::clicked, this, &frmListMix::Search);
    connect(m_cmdPrintCSV, &QPushButton::clicked, this, &frmListMix::PrintCsv);

    // The screen opens in monitor mode.
    m_chbAutoRead->setChecked(true);
    chbAutoRead_Click();
    m_timAutoRead->stop(); // until the screen is active
    WatchActivation(this, [this](bool active) { active ? Activated() : Deactivated(); });
}

frmListMix::~frmListMix() = default;

void frmListMix::chbAutoRead_Click()
{
    const bool monitor = m_chbAutoRead->isChecked();
    for (QWidget *w : std::initializer_list<QWidget *>{m_cmdSearch, m_cmdPrintCSV, m_imDateFrom, m_imDateTo,
                                                      m_cmbListType, m_txtUserName, m_txtEmpName, m_txtGateName,
                                                      m_txtZoneName, m_cmbDoorMode})
        w->setEnabled(!monitor);
    if (monitor)
        m_timAutoRead->start();
    else
        m_timAutoRead->stop();
}

LogFilter frmListMix::CurrentFilter() const
{
    LogFilter f;
    f.listType = m_cmbListType->currentIndex();
    f.from = DateFieldText(m_imDateFrom);
    f.to = DateFieldText(m_imDateTo);
    f.userName = m_txtUserName->text();
    f.empName = m_txtEmpName->text();
    f.gateName = m_txtGateName->text();
    f.zoneName = m_txtZoneName->text();
    f.doorMode = m_cmbDoorMode->currentIndex();
    f.monitor = m_chbAutoRead->isChecked();
    return f;
}

bool frmListMix::SetSearchConditions()
{
    const LogFilter f = CurrentFilter();
    m_grid->setDataSource(LogKind(f.listType).view);
    m_csv->setDataSource(LogKind(f.listType).view);
    const QString refusal = CheckPeriod(f.from, f.to);
    if (!refusal.isEmpty()) {
        // Leave monitor mode first, so that the message is shown once and not every second.
        m_chbAutoRead->setChecked(false);
        chbAutoRead_Click();
        MsgBox::Show(refusal);
        return false;
    }
    ApplyLogFilter(f, *m_grid, true);
    UsePackedLogRows(*m_grid, f.listType);
    ApplyLogFilter(f, *m_csv, false);
    return true;
}

void frmListMix::Search()
{
    if (!SetSearchConditions())
        return;
    try {
        m_grid->LoadGrid(m_rows, -1);
    } catch (const RdoError &e) {
        // A database that cannot be read is reported once: the monitor stops until asked again.
        m_chbAutoRead->setChecked(false);
        chbAutoRead_Click();
        MsgBox::Show(QStringLiteral("ログの読み込みに失敗しました。\r\n") + e.message(), QMessageBox::Ok,
                     QMessageBox::Critical);
    }
}

void frmListMix::PrintCsv()
{
    if (!SetSearchConditions())
        return;
    const LogFilter f = CurrentFilter();
    const QString file = FileDialog::GetSaveFileName(this, QString(), LogKind(f.listType).name,
                                                     QStringLiteral("*.csv"), QStringLiteral("csv"));
    if (file.isEmpty())
        return;
    qint32 result = -1;
    try {
        result = m_csv->PrintCSV(file, LogTitleBlock(f, m_cmbListType->currentText(), m_cmbDoorMode->currentText()));
    } catch (const RdoError &) {
        result = -1;
    }
    if (result < 0)
        MsgBox::Show(CsvFailureMessage(result));
}

void frmListMix::Activated()
{
    SetSubTitle(0, QStringLiteral("一覧表示"), kListSubTitleColour);
    if (m_chbAutoRead->isChecked())
        m_timAutoRead->start();
}

void frmListMix::Deactivated()
{
    m_timAutoRead->stop();
}

void frmListMix::closeEvent(QCloseEvent *event)
{
    m_timAutoRead->stop();
    SaveLayouts();
    QWidget::closeEvent(event);
}

void frmListMix::SaveLayouts()
{
    SaveGridLayout(objectName(), *m_msfLogGateOpe);
}
