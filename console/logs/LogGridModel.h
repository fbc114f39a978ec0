#pragma once

// The log list's rows as a table model: the access component fills it through the grid contract
// (one text per cell, rows in a plain list) and a view shows only the rows on screen, so a
// result of 100,000 rows loads in a fraction of the time cells of a widget grid take, and stays
// usable. Row 0 of the contract is the header row (the column captions).

#include "RdoControl.h"

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>

class LogGridModel : public QAbstractTableModel, public RdoGridControl
{
    Q_OBJECT
public:
    explicit LogGridModel(int columns, QObject *parent = nullptr);

    void setColumnAlignment(int col, Qt::Alignment alignment);
    // Rows arrive as one text in column 0, the columns joined by kLogRowSeparator, each shown in
    // its display format (an empty format: as it comes). The row is kept as it arrives and a cell
    // is taken out of it when asked for: a view asks only for the rows on screen.
    void SetPackedFormats(const QStringList &formats);

    // ---- QAbstractTableModel -----------------------------------------------------------------
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // ---- RdoGridControl ----------------------------------------------------------------------
    int rows() const override { return 1 + DataRows(); }
    void setRows(int rows) override;
    int fixedRows() const override { return 1; }
    int cols() const override { return int(m_header.size()); }
    QString textMatrix(int row, int col) const override;
    void setTextMatrix(int row, int col, const QString &text) override;
    void setCellChecked(int, int, bool) override {} // the log list has no check column
    void setCellForeColor(int, int, quint32) override {}
    void setCurrentRow(int) override {}
    void setRedraw(bool on) override;

private:
    int DataRows() const { return int(m_packedFormats.isEmpty() ? m_rows.size() : m_packedRows.size()); }
    QString Cell(int dataRow, int col) const;
    QStringList m_header;
    QStringList m_packedFormats; // empty: cells arrive one by one, into m_rows
    QList<QStringList> m_rows;
    QList<QString> m_packedRows;
    QList<Qt::Alignment> m_align;
    bool m_resetting = false;
};
