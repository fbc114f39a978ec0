// rdo_cntl: writing a query to a CSV file (Shift_JIS, CR LF).

#include "Csv.h"
#include "Format.h"
#include "RdoInternal.h"
#include "Sjis.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>

using namespace rdo_internal;

namespace {
// Error numbers PrintCSV reports (negated): an existing file that cannot be opened for writing
// (held or protected), other file access errors, and a database error while writing.
constexpr qint32 kErrPermissionDenied = 70;
constexpr qint32 kErrFileAccess = 75;
constexpr qint32 kErrDatabase = 3146;
} // namespace

qint32 rdo_cntl::PrintCSV(const QString &strFileName, const QString &strTitle)
{
    PointerGuard guard(true);
    if (!EnsureConnection())
        return -1;
    // A failing query is raised; errors from opening the file onwards are returned. Only the
    // declared columns are read, as for a grid.
    QSqlQuery &q = OpenGridQuery(true);

    QFile file(strFileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        CloseRecSet();
        return file.exists() ? -kErrPermissionDenied : -kErrFileAccess;
    }
    const QString eol = QStringLiteral("\r\n");
    QString chunk;
    auto flush = [&]() {
        const QByteArray bytes = orvel::ToSjis(chunk);
        chunk.clear();
        return file.write(bytes) == bytes.size();
    };
    if (!strTitle.isEmpty())
        chunk += strTitle + eol;
    QStringList captions;
    bool anyCaption = false;
    for (const Field &f : m_fields) {
        captions << orvel::CsvField(f.caption);
        anyCaption = anyCaption || !f.caption.isEmpty();
    }
    if (anyCaption)
        chunk += captions.join(u',') + eol;

    qint32 count = 0;
    try {
        QVector<int> cols(m_fields.size(), -1);
        bool resolved = false;
        while (q.next()) {
            if (!resolved) {
                for (int i = 0; i < m_fields.size(); ++i)
                    if (!m_fields[i].name.isEmpty())
                        cols[i] = ColumnIndex(q, m_fields[i].name);
                resolved = true;
            }
            for (int i = 0; i < m_fields.size(); ++i) {
                if (i > 0)
                    chunk += u',';
                if (cols[i] >= 0)
                    chunk += orvel::CsvField(orvel::FormatValue(q.value(cols[i]), m_fields[i].format));
            }
            chunk += eol;
            ++count;
            if (chunk.size() > 64 * 1024 && !flush()) {
                CloseRecSet();
                return -kErrFileAccess;
            }
        }
        if (q.lastError().isValid()) {
            CloseRecSet();
            return -kErrDatabase;
        }
    } catch (const RdoError &) {
        CloseRecSet();
        return -kErrDatabase;
    }
    CloseRecSet();
    if (!flush() || !file.flush())
        return -kErrFileAccess;
    file.close();
    return file.error() == QFile::NoError ? count : -kErrFileAccess;
}
