#include "MainteUi.h"

#include "MsgBox.h"
#include "rdo_cntl.h"

#include <QLineEdit>

QLineEdit *HiddenField(const char *objectName, QWidget *parent)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(objectName));
    e->hide();
    return e;
}

bool SaveSettingsRow(rdo_cntl &db)
{
    bool saved = false;
    try {
        saved = db.UpdateBindEx();
    } catch (const RdoError &) {
        saved = false;
    }
    if (!saved)
        MsgBox::Show(QStringLiteral("設定に失敗しました。"));
    return saved;
}
