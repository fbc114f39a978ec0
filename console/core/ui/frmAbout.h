#pragma once

#include <QDialog>

// The version box: the application title and "ﾊﾞｰｼﾞｮﾝ major.minor.revision".
class frmAbout : public QDialog
{
    Q_OBJECT
public:
    explicit frmAbout(QWidget *parent = nullptr);
    static QString VersionText();
};
