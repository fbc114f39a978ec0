#pragma once

// The date entry fields of the log screens: "yyyy/mm/dd" typed into a mask; an empty field reads
// "____/__/__".

#include <QDate>
#include <QString>

class QLineEdit;
class QWidget;

QLineEdit *NewDateField(const QString &objectName, QWidget *parent);
// The field as the operator sees it, blanks shown as "_".
QString DateFieldText(const QLineEdit *field);
void SetDateField(QLineEdit *field, const QDate &date);
