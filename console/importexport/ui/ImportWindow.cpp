#include "ImportWindow.h"

#include "DigitKeys.h"
#include "FileDialog.h"
#include "ImportRun.h"
#include "MasterImports.h"
#include "MsgBox.h"
#include "ScreenLook.h"
#include "ScreenRefresh.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

// Asks and reports through the console's message boxes and shows the write pass's progress.
class ScreenHost : public impexp::ImportHost
{
public:
    explicit ScreenHost(QProgressBar *bar)
        : m_bar(bar)
    {
    }
    bool Confirm(const QString &text) override
    {
        return MsgBox::Show(text, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Question) == QMessageBox::Ok;
    }
    void Warn(const QString &text) override { MsgBox::Show(text, QMessageBox::Ok, QMessageBox::Warning); }
    void Progress(int done, int total) override
    {
        // Called once per committed batch: the bar is drawn and the window stays responsive.
        if (m_bar->maximum() != total)
            m_bar->setRange(0, total);
        m_bar->setTextVisible(true);
        m_bar->setValue(done);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }

private:
    QProgressBar *m_bar;
};

} // namespace

ImportWindow::ImportWindow(const QString &objectName, const QString &title, const QString &optName,
                           const QString &idCaption, int idWidth, QWidget *parent)
    : QDialog(parent), m_idWidth(idWidth)
{
    setObjectName(objectName);
    setWindowTitle(title);
    setModal(true);

    auto *root = new QVBoxLayout(this);

    auto *file = new QGroupBox(QStringLiteral("インポートファイル："), this);
    auto *fileRow = new QHBoxLayout(file);
    m_txtImportFName = new QLineEdit(file);
    m_txtImportFName->setObjectName(QStringLiteral("txtImportFName"));
    NameField(m_txtImportFName, QStringLiteral("インポートファイル"));
    auto *cmdFileSearch = new QPushButton(QStringLiteral("参照..."), file);
    cmdFileSearch->setObjectName(QStringLiteral("cmdFileSearch"));
    fileRow->addWidget(m_txtImportFName, 1);
    fileRow->addWidget(cmdFileSearch);
    root->addWidget(file);

    auto *ids = new QGroupBox(QStringLiteral("ID："), this);
    auto *idRow = new QHBoxLayout(ids);
    auto *group = new QButtonGroup(this);
    const QString captions[2] = {idCaption, QStringLiteral("自動ID")};
    for (int i = 0; i < 2; ++i) {
        m_optId[i] = new QRadioButton(captions[i], ids);
        m_optId[i]->setObjectName(optName + QStringLiteral("_%1").arg(i));
        m_optId[i]->setProperty("index", i);
        group->addButton(m_optId[i], i);
        idRow->addWidget(m_optId[i]);
    }
    m_txtId = new QLineEdit(impexp::FormatFirstId(QStringLiteral("1"), idWidth), ids);
    m_txtId->setObjectName(QStringLiteral("txtId"));
    m_txtId->setMaxLength(idWidth);
    m_txtId->setFixedWidth(fontMetrics().horizontalAdvance(QLatin1Char('0')) * (idWidth + 2) + 12);
    AcceptDigitKeys(m_txtId, DotKey::Pass);
    m_txtId->installEventFilter(this);
    idRow->addWidget(LabelFor(m_txtId, QStringLiteral("開始ID")));
    idRow->addWidget(m_txtId);
    idRow->addStretch();
    root->addWidget(ids);
    m_optId[0]->setChecked(true);
    m_txtId->setEnabled(false);

    m_columns = new QGroupBox(QStringLiteral("インポート項目："), this);
    new QGridLayout(m_columns);
    root->addWidget(m_columns);
    m_options = new QGroupBox(this);
    new QVBoxLayout(m_options);
    root->addWidget(m_options);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("prgWrite"));
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_progress->setFormat(QStringLiteral("%v / %m 件"));
    m_progress->setTextVisible(false); // until a write pass counts records
    root->addWidget(m_progress);

    m_cmdStart = new QPushButton(QStringLiteral("開始"), this);
    m_cmdStart->setObjectName(QStringLiteral("cmdStart"));
    m_cmdStart->setEnabled(false);
    m_cmdClose = new QPushButton(QStringLiteral("閉じる"), this);
    m_cmdClose->setObjectName(QStringLiteral("cmdClose"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cmdStart);
    buttons->addWidget(m_cmdClose);
    root->addLayout(buttons);

    connect(cmdFileSearch, &QPushButton::clicked, this, &ImportWindow::cmdFileSearch_Click);
    connect(m_txtImportFName, &QLineEdit::textEdited, this, [this] { m_cmdStart->setEnabled(true); });
    connect(m_cmdStart, &QPushButton::clicked, this, &ImportWindow::cmdStart_Click);
    connect(m_cmdClose, &QPushButton::clicked, this, &ImportWindow::reject);
    connect(group, &QButtonGroup::idClicked, this, &ImportWindow::optId_Click);
}

QCheckBox *ImportWindow::AddColumnBox(const char *objectName, const QString &caption, bool required, bool indented)
{
    auto *grid = static_cast<QGridLayout *>(m_columns->layout());
    auto *box = new QCheckBox(caption, m_columns);
    box->setObjectName(QString::fromLatin1(objectName));
    box->setChecked(true);
    if (indented)
        grid->addWidget(box, m_columnRows++, 1);
    else
        grid->addWidget(box, m_columnRows++, 0, 1, 2);
    grid->setColumnMinimumWidth(0, 24);
    grid->setColumnStretch(1, 1);
    if (required)
        connect(box, &QCheckBox::clicked, box, [box] { box->setChecked(true); });
    return box;
}

QCheckBox *ImportWindow::AddOptionBox(const char *objectName, const QString &caption)
{
    auto *box = new QCheckBox(caption, m_options);
    box->setObjectName(QString::fromLatin1(objectName));
    m_options->layout()->addWidget(box);
    return box;
}

bool ImportWindow::AutoId() const
{
    return m_optId[1]->isChecked();
}

QString ImportWindow::FirstId() const
{
    return impexp::FormatFirstId(m_txtId->text(), m_idWidth);
}

void ImportWindow::optId_Click(int index)
{
    m_txtId->setEnabled(index == 1);
}

bool ImportWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_txtId && event->type() == QEvent::FocusOut) {
        m_txtId->setText(impexp::FormatFirstId(m_txtId->text(), m_idWidth));
    }
    return QDialog::eventFilter(watched, event);
}

void ImportWindow::cmdFileSearch_Click()
{
    const QString name = FileDialog::GetOpenFileName(this, QString(), QStringLiteral("*.csv (*.csv);;*.* (*)"));
    if (name.isEmpty())
        return;
    m_txtImportFName->setText(name);
    m_cmdStart->setEnabled(true);
}

void ImportWindow::reject()
{
    if (!m_running) // the write pass is not left half-way by closing the window
        QDialog::reject();
}

void ImportWindow::cmdStart_Click()
{
    if (m_running)
        return;
    m_txtId->setText(impexp::FormatFirstId(m_txtId->text(), m_idWidth));
    std::unique_ptr<impexp::ImportRun> run = MakeRun();
    ScreenHost host(m_progress);
    m_running = true;
    for (QWidget *w : findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        if (w != m_progress)
            w->setEnabled(false);
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    const impexp::ImportOutcome out = run->Run(m_txtImportFName->text(), host);
    run.reset();
    for (QWidget *w : findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        w->setEnabled(true);
    m_running = false;

    using Kind = impexp::ImportOutcome::Kind;
    if (out.kind == Kind::Done || out.kind == Kind::Failed)
        RefreshOpenScreens(ScreensToRefresh());
    switch (out.kind) {
    case Kind::Done:
        MsgBox::Show(out.message, QMessageBox::Ok, QMessageBox::Information);
        break;
    case Kind::Refused:
        MsgBox::Show(out.message, QMessageBox::Ok, QMessageBox::Warning);
        break;
    case Kind::Failed:
        MsgBox::Show(out.message, QMessageBox::Ok, QMessageBox::Critical);
        break;
    case Kind::Cancelled:
        break;
    }
}
