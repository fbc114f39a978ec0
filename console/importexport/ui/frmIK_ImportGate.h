#pragma once

// "ゲートをインポート": gates from a CSV file (no overwrite: a registered gate ID stops the import).

#include "ImportWindow.h"

class frmIK_ImportGate : public ImportWindow
{
    Q_OBJECT
public:
    explicit frmIK_ImportGate(QWidget *parent = nullptr);

protected:
    std::unique_ptr<impexp::ImportRun> MakeRun() const override;
    QStringList ScreensToRefresh() const override;

private:
    QCheckBox *m_chbPortNo = nullptr;
    QCheckBox *m_chbBikou = nullptr;
    QCheckBox *m_chbGateMode = nullptr;
};
