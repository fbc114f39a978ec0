#pragma once

// "部署をインポート": departments from a CSV file, optionally overwriting registered ones.

#include "ImportWindow.h"

class frmIK_ImportEmp : public ImportWindow
{
    Q_OBJECT
public:
    explicit frmIK_ImportEmp(QWidget *parent = nullptr);

protected:
    std::unique_ptr<impexp::ImportRun> MakeRun() const override;
    QStringList ScreensToRefresh() const override;

private:
    QCheckBox *m_chbBikou = nullptr;
    QCheckBox *m_chbOverWrite = nullptr;
};
