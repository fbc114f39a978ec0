#pragma once

// Driving the master-data screens by object name: typing into ID fields, clicking grid rows,
// selecting blocks, and answering a picker while the screen waits for it.

#include "ConsoleTestUtil.h"

#include "MsfGrid.h"
#include "MsgBox.h"
#include "PermitList.h"
#include "Public.h"
#include "frmSubTitle.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFocusEvent>
#include <QLineEdit>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace mdtest {

template <class T = QWidget>
T *W(QWidget *root, const char *name)
{
    T *w = root->findChild<T *>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

inline QString Text(QWidget *root, const char *name)
{
    return W<QLineEdit>(root, name)->text();
}

inline void Click(QWidget *root, const char *name)
{
    W<QAbstractButton>(root, name)->click();
}

// Types text into an ID field and leaves it, as the operator does with Tab.
inline void EnterId(QWidget *root, const QString &text)
{
    auto *e = W<QLineEdit>(root, "txtId");
    e->setText(text);
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(e, &out);
}

// Clicks data row `row` (grid numbering, first data row = 1) with the mouse.
inline void ClickRow(MsfGrid *grid, int row)
{
    const QRect r = grid->visualItemRect(grid->item(row - grid->fixedRows(), 1));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, r.center());
}

// Makes `current` the current row and selects the block up to `end` (grid numbering).
inline void SelectBlock(MsfGrid *grid, int current, int end)
{
    grid->clearSelection();
    grid->setCurrentCell(current - grid->fixedRows(), 0);
    const int lo = qMin(current, end) - grid->fixedRows();
    const int hi = qMax(current, end) - grid->fixedRows();
    grid->setRangeSelected(QTableWidgetSelectionRange(lo, 0, hi, grid->columnCount() - 1), true);
}

inline QStringList Column(const MsfGrid *grid, int col)
{
    QStringList out;
    for (int r = grid->fixedRows(); r < grid->rows(); ++r)
        out << grid->textMatrix(r, col);
    return out;
}

// ---- a screen's permit list (a view over PermitListModel), rows counted from 0 ----
inline const PermitListModel *PermitModel(QWidget *root, const char *list)
{
    return static_cast<const PermitListModel *>(W<QTableView>(root, list)->model());
}

inline int ListedRows(QWidget *root, const char *list)
{
    return PermitModel(root, list)->rowCount();
}

inline QStringList Column(const QTableView *view, int col)
{
    QStringList out;
    for (int r = 0; r < view->model()->rowCount(); ++r)
        out << view->model()->index(r, col).data().toString();
    return out;
}

// Makes `current` the current row and selects the block up to `end`.
inline void SelectRows(QTableView *view, int current, int end)
{
    view->clearSelection();
    view->setCurrentIndex(view->model()->index(current, 0));
    const QItemSelection block(view->model()->index(qMin(current, end), 0),
                               view->model()->index(qMax(current, end), view->model()->columnCount() - 1));
    view->selectionModel()->select(block, QItemSelectionModel::Select);
}

// Runs script on the picker named name once the screen has opened it, then closes the picker.
// Call before the click that opens it.
inline void OnPicker(const char *name, std::function<void(QWidget *)> script)
{
    auto done = std::make_shared<bool>(false);
    SetBusyEventPump([=] {
        QApplication::processEvents();
        if (*done)
            return;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String(name) && w->isVisible()) {
                *done = true;
                script(w);
                if (w->isVisible())
                    w->close();
                return;
            }
        ADD_FAILURE() << "picker " << name << " not open";
        *done = true;
        SetBusyOff();
    });
}

inline QStringList ShownTexts()
{
    QStringList out;
    for (const MsgBox::Shown &s : MsgBox::TakeShown())
        out << s.text;
    return out;
}

inline QString SubTitleCaption()
{
    auto *strip = MainWindow()->findChild<frmSubTitle *>();
    return strip ? strip->label(1).caption : QString();
}

} // namespace mdtest
