#pragma once

// The permit area of the user and gate screens: the list of permits (a table view over
// PermitListModel, its column layout kept like a grid's) with the add, withdraw and send buttons
// under it. The screens wire the buttons to their own rules; the panel owns the list.

#include "MsfLayout.h"
#include "PermitList.h"

#include <QGroupBox>
#include <QPair>
#include <QTableView>

class QPushButton;
class QVBoxLayout;

// The list of a permit area: rows are permits, chosen in one contiguous block.
class PermitView : public QTableView, public MsfLayout
{
public:
    explicit PermitView(QWidget *parent = nullptr);

    // ---- MsfLayout ----
    int layoutCols() const override;
    int colWidthPx(int col) const override { return columnWidth(col); }
    void setColWidthPx(int col, int px) override { setColumnWidth(col, px); }
    double fontPointSize() const override { return font().pointSizeF(); }
    void setFontPointSize(double points) override;
};

class PermitPanel : public QGroupBox
{
public:
    struct Names
    {
        const char *list;          // the view's object name
        const char *add;           // the add button: object name and caption
        const char *addCaption;
        const char *withdraw;      // the withdraw button
        const char *withdrawCaption;
    };
    // widthPx: the list's width; percent: each shown column's share of it.
    PermitPanel(PermitListModel::Side side, const QString &title, const Names &names, int widthPx,
                const QList<int> &percent, QWidget *parent);

    PermitListModel *model() const { return m_model; }
    PermitView *view() const { return m_view; }
    QPushButton *addButton() const { return m_add; }
    QPushButton *withdrawButton() const { return m_withdraw; }
    QPushButton *sendButton() const { return m_send; }
    // Puts a control across the top of the area, above the list.
    void AddAboveList(QWidget *control);

    // Reloads the list (see PermitListModel::Load); no row is chosen afterwards. A list that cannot
    // be read is emptied, the send button greyed, and the failure raised.
    void Load(const QString &ownerId, bool includeUnused = false);
    int Rows() const { return m_model->rowCount(); }
    // The block from the current row to the other end of its selection, smaller first, as model
    // rows; {-1, -1} when no row is current.
    QPair<int, int> SelectedRows() const;

private:
    PermitListModel *m_model;
    PermitView *m_view;
    QVBoxLayout *m_layout;
    QPushButton *m_add;
    QPushButton *m_withdraw;
    QPushButton *m_send;
};
