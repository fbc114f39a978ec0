#include "ExportWindow.h"

#include "FileDialog.h"
#include "MsgBox.h"
#include "ScreenLook.h"
#include "ScreenRegistry.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

ORVEL_REGISTER_SCREEN(frmIK_ExportUser)
ORVEL_REGISTER_SCREEN(frmIK_ExportEmp)
ORVEL_REGISTER_SCREEN(frmIK_ExportGate)

ExportWindow::ExportWindow(const QString &objectName, impexp::ExportKind kind, QWidget *parent)
    : QDialog(parent), m_kind(kind)
{
    setObjectName(objectName);
    setWindowTitle(impexp::ExportTitle(kind));
    setModal(true);
    auto *root = new QVBoxLayout(this);

    auto *items = new QGroupBox(QStringLiteral("エクスポート項目："), this);
    // One column, in the order the file has them.
    auto *list = new QVBoxLayout(items);
    const QVector<impexp::ExportColumn> &columns = impexp::ExportColumns(kind);
    for (int i = 0; i < columns.size(); ++i) {
        auto *box = new QCheckBox(QString::fromUtf8(columns[i].caption), items);
        box->setObjectName(QStringLiteral("chbItem_%1").arg(i));
        box->setProperty("index", i);
        box->setChecked(true);
        list->addWidget(box);
        m_chbItem << box;
    }
    root->addWidget(items);

    auto *file = new QGroupBox(QStringLiteral("エクスポートファイル："), this);
    auto *fileRow = new QHBoxLayout(file);
    m_txtFName = new QLineEdit(file);
    m_txtFName->setObjectName(QStringLiteral("txtFName"));
    NameField(m_txtFName, QStringLiteral("エクスポートファイル"));
    auto *cmdFileSearch = new QPushButton(QStringLiteral("参照..."), file);
    cmdFileSearch->setObjectName(QStringLiteral("cmdFileSearch"));
    fileRow->addWidget(m_txtFName, 1);
    fileRow->addWidget(cmdFileSearch);
    root->addWidget(file);

    auto *cmdStart = new QPushButton(QStringLiteral("開始"), this);
    cmdStart->setObjectName(QStringLiteral("cmdStart"));
    auto *cmdCancel = new QPushButton(QStringLiteral("閉じる"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdStart);
    buttons->addWidget(cmdCancel);
    root->addLayout(buttons);
    resize(460, sizeHint().height());

    connect(cmdFileSearch, &QPushButton::clicked, this, &ExportWindow::cmdFileSearch_Click);
    connect(cmdStart, &QPushButton::clicked, this, &ExportWindow::cmdStart_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void ExportWindow::cmdFileSearch_Click()
{
    const QString name = FileDialog::GetSaveFileName(this, QString(), QString(),
                                                     QStringLiteral("*.csv (*.csv);;*.* (*)"), QStringLiteral("csv"));
    if (!name.isEmpty()) // a cancelled dialog leaves the name as it was
        m_txtFName->setText(name);
}

void ExportWindow::cmdStart_Click()
{
    QVector<bool> chosen;
    for (QCheckBox *box : m_chbItem)
        chosen << box->isChecked();
    const impexp::ExportOutcome out = impexp::RunExport(m_kind, chosen, m_txtFName->text());
    using Kind = impexp::ExportOutcome::Kind;
    const QMessageBox::Icon icon = out.kind == Kind::Done        ? QMessageBox::Information
                                   : out.kind == Kind::NoFile    ? QMessageBox::Warning
                                   : out.kind == Kind::Failed    ? QMessageBox::Critical
                                                                 : QMessageBox::NoIcon;
    MsgBox::Show(out.message, QMessageBox::Ok, icon);
}

frmIK_ExportUser::frmIK_ExportUser(QWidget *parent)
    : ExportWindow(QStringLiteral("frmIK_ExportUser"), impexp::ExportKind::Users, parent)
{
}

frmIK_ExportEmp::frmIK_ExportEmp(QWidget *parent)
    : ExportWindow(QStringLiteral("frmIK_ExportEmp"), impexp::ExportKind::Emps, parent)
{
}

frmIK_ExportGate::frmIK_ExportGate(QWidget *parent)
    : ExportWindow(QStringLiteral("frmIK_ExportGate"), impexp::ExportKind::Gates, parent)
{
}
