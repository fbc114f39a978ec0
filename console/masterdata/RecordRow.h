#pragma once

// One master row moved between a table and a typed record: the user and gate records map their
// fields to a list of columns (the key first) and read or write them here.

#include <QString>
#include <QStringList>

namespace RecordRow {
// The row whose key (the first column) is key, one text per column; empty when there is none.
QStringList Load(const QString &source, const QStringList &columns, const QString &key);
// Inserts the row; false with the component's message when the key is taken.
bool Insert(const QString &source, const QStringList &columns, const QStringList &values, QString *error);
// Writes every column of the row with the key; a database failure is raised.
void Update(const QString &source, const QStringList &columns, const QStringList &values);
} // namespace RecordRow
