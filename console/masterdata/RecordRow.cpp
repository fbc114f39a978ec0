#include "RecordRow.h"

#include "SqlDialect.h"
#include "rdo_cntl.h"

namespace {
void SetFields(rdo_cntl &db, const QString &source, const QStringList &columns, const QStringList &values)
{
    db.setDataSource(source);
    for (int i = 0; i < columns.size(); ++i)
        db.SetData(columns[i], values.value(i), i == 0, i == 0);
}
} // namespace

QStringList RecordRow::Load(const QString &source, const QStringList &columns, const QString &key)
{
    if (key.isEmpty() || columns.isEmpty())
        return {};
    rdo_cntl db;
    db.setDataSource(source);
    for (const QString &column : columns)
        db.SetField(column);
    db.setWhere(columns.first() + QStringLiteral(" = ") + orvel::SqlText(key));
    const QVector<QStringList> rows = db.LoadRows();
    return rows.isEmpty() ? QStringList() : rows.first();
}

bool RecordRow::Insert(const QString &source, const QStringList &columns, const QStringList &values, QString *error)
{
    rdo_cntl db;
    SetFields(db, source, columns, values);
    if (db.InsertData())
        return true;
    if (error)
        *error = db.errMsg().toString();
    return false;
}

void RecordRow::Update(const QString &source, const QStringList &columns, const QStringList &values)
{
    rdo_cntl db;
    SetFields(db, source, columns, values);
    db.UpdateData();
}
