#include "Csv.h"

namespace orvel {

QString CsvField(const QString &value)
{
    if (!value.contains(u',') && !value.contains(u'"') && !value.contains(u'\n') && !value.contains(u'\r'))
        return value;
    QString inner = value;
    inner.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + inner + u'"';
}

QStringList CsvSplitLine(const QString &line)
{
    QStringList fields;
    QString cur;
    bool quoted = false;
    bool wasQuoted = false;
    qsizetype quoteStart = -1; // where the open quoted field began
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < line.size() && line.at(i + 1) == u'"') {
                    cur += u'"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                cur += c;
            }
        } else if (c == u',') {
            fields << cur;
            cur.clear();
            wasQuoted = false;
        } else if (c == u'"' && cur.isEmpty() && !wasQuoted) {
            quoted = wasQuoted = true;
            quoteStart = i;
        } else {
            cur += c;
        }
    }
    if (quoted) {
        // A quote never closed is no quoting: the rest of the line splits at every comma, the
        // quote kept as text, rather than one field swallowing the columns after it.
        fields << line.mid(quoteStart).split(u',');
        return fields;
    }
    fields << cur;
    return fields;
}

} // namespace orvel
