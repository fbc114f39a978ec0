#include "frmAbout.h"

#include "Public.h"
#include "ScreenRegistry.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

// ORVEL_VERSION_MAJOR/MINOR/REVISION come from the project version (major.minor.patch.revision);
// the box shows the three parts the program has always shown.
QString frmAbout::VersionText()
{
    return QStringLiteral("ﾊﾞｰｼﾞｮﾝ ") + QStringLiteral("%1.%2.%3")
                                            .arg(ORVEL_VERSION_MAJOR)
                                            .arg(ORVEL_VERSION_MINOR)
                                            .arg(ORVEL_VERSION_REVISION);
}

frmAbout::frmAbout(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(AppTitle() + QStringLiteral("のﾊﾞｰｼﾞｮﾝ情報"));
    auto *layout = new QVBoxLayout(this);
    auto *title = new QLabel(AppTitle(), this);
    title->setObjectName(QStringLiteral("lblTitle"));
    QFont f = title->font();
    f.setPointSizeF(f.pointSizeF() * 1.5);
    f.setBold(true);
    title->setFont(f);
    auto *version = new QLabel(VersionText(), this);
    version->setObjectName(QStringLiteral("lblVersion"));
    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(title);
    layout->addWidget(version);
    layout->addWidget(ok, 0, Qt::AlignRight);
}

ORVEL_REGISTER_SCREEN(frmAbout)
