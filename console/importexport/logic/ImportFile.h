#pragma once

// An import file read into records: one record per line (ended by CR LF, LF or a lone CR),
// fields split at commas. A field that starts with a double quote is read as one quoted value
// (commas and doubled quotes inside it belong to the value), so a file the exports wrote reads
// back; a file without quotes, or a quote that is never closed on its line, splits at every
// comma. At most kMaxFields fields of a line are kept.
//
// Text is Shift_JIS unless the file is UTF-8: it starts with the UTF-8 byte-order mark, or it is
// valid UTF-8 and not plain ASCII (spreadsheet programs often save so).

#include <QString>
#include <QStringList>
#include <QVector>

namespace impexp {

class ImportFile
{
public:
    static constexpr int kMaxFields = 100;

    // False when the file cannot be opened (missing, a folder, unreadable).
    bool Load(const QString &fileName);
    // Splits text that is already decoded.
    void SetText(const QString &text);
    // Decodes file bytes as the import reads them.
    static QString Decode(const QByteArray &bytes);

    int RecordCount() const { return int(m_lines.size()); }
    // The fields of record n (1-based); a field beyond the end of the line reads as empty text.
    QStringList Fields(int n) const;

private:
    QStringList m_lines;
};

// Field i of fields, or empty text when the line has fewer fields.
inline QString FieldAt(const QStringList &fields, int i)
{
    return i < fields.size() ? fields.at(i) : QString();
}

} // namespace impexp
