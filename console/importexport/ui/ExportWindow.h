#pragma once

// The three export screens: column boxes chbItem_0.. ("エクスポート項目："), the target file
// ("エクスポートファイル："), start and close. The export itself is the import library's.

#include "ExportRun.h"

#include <QDialog>
#include <QVector>

class QCheckBox;
class QLineEdit;

class ExportWindow : public QDialog
{
    Q_OBJECT
public:
    void cmdFileSearch_Click();
    void cmdStart_Click();

protected:
    ExportWindow(const QString &objectName, impexp::ExportKind kind, QWidget *parent);

private:
    impexp::ExportKind m_kind;
    QVector<QCheckBox *> m_chbItem;
    QLineEdit *m_txtFName = nullptr;
};

class frmIK_ExportUser : public ExportWindow
{
    Q_OBJECT
public:
    explicit frmIK_ExportUser(QWidget *parent = nullptr);
};

class frmIK_ExportEmp : public ExportWindow
{
    Q_OBJECT
public:
    explicit frmIK_ExportEmp(QWidget *parent = nullptr);
};

class frmIK_ExportGate : public ExportWindow
{
    Q_OBJECT
public:
    explicit frmIK_ExportGate(QWidget *parent = nullptr);
};
