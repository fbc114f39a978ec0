#pragma once

// The template file: fixed 800-byte records, record n (from 1) holding the template whose tpl_id
// is n at byte offset (n - 1) x 800. Each call opens the file, reads or writes one record and
// closes it.

#include <QByteArray>
#include <QString>

namespace TplData {

inline constexpr int kRecordBytes = 800;

// The template file of the console's settings (F_TEMPLATE, relative names in the site folder).
QString TemplatePath();

// Record tplId, or false when the file or a whole record is not there.
bool ReadTpl(const QString &path, int tplId, QByteArray *tpl);
// Writes record tplId (a record beyond the end extends the file) and forces the bytes to the
// disk before returning true, so that a caller may then mark the template complete.
bool WriteTpl(const QString &path, int tplId, const QByteArray &tpl, QString *error = nullptr);

} // namespace TplData
