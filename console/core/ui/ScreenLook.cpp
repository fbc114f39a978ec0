#include "ScreenLook.h"

#include <QLabel>
#include <QRegularExpression>

#include "MsfGrid.h"
#include "UiUnits.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

void SetFieldLocked(QWidget *field, bool locked)
{
    if (!field)
        return;
    if (auto *e = qobject_cast<QLineEdit *>(field))
        e->setReadOnly(locked);
    else if (auto *t = qobject_cast<QTextEdit *>(field))
        t->setReadOnly(locked);
    else if (auto *p = qobject_cast<QPlainTextEdit *>(field))
        p->setReadOnly(locked);
    else if (auto *s = qobject_cast<QAbstractSpinBox *>(field))
        s->setReadOnly(locked);
    QPalette pal = field->palette();
    pal.setColor(QPalette::Base, locked ? QColor(0xF0, 0xF0, 0xF0)
                                        : QApplication::palette(field).color(QPalette::Base));
    field->setPalette(pal);
}

void HighlightRow(MsfGrid &grid, int row, int &previousRow)
{
    const int cols = grid.cols();
    auto paint = [&](int r, const QColor &c) {
        if (r < grid.fixedRows() || r >= grid.rows())
            return;
        for (int col = 1; col < cols; ++col)
            grid.setCellBackColor(r, col, c);
    };
    if (previousRow != row)
        paint(previousRow, QColor());
    paint(row, kRowHighlight);
    previousRow = row;
}

QLabel *LabelFor(QWidget *field, const QString &text)
{
    auto *label = new QLabel(text, field->parentWidget());
    label->setBuddy(field);
    NameField(field, text);
    return label;
}

void NameField(QWidget *field, const QString &name)
{
    QString plain = name;
    plain.remove(QRegularExpression(QStringLiteral("\\(&.\\)$"))).remove(u'&');
    field->setAccessibleName(plain);
}

void ShowInfoLine(QLabel *label, const QString &text, quint32 bgrColour)
{
    label->setText(text);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, BgrColor(bgrColour));
    label->setPalette(pal);
    label->repaint();
}
