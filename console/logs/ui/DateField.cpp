#include "DateField.h"

#include <QLineEdit>

QLineEdit *NewDateField(const QString &objectName, QWidget *parent)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(objectName);
    e->setInputMask(QStringLiteral("9999/99/99;_"));
    e->setMaximumWidth(110);
    return e;
}

QString DateFieldText(const QLineEdit *field)
{
    return field->displayText();
}

void SetDateField(QLineEdit *field, const QDate &date)
{
    field->setText(date.toString(QStringLiteral("yyyy/MM/dd")));
}
