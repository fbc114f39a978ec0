#include "ImportFile.h"

#include "Csv.h"
#include "Sjis.h"

#include <QFile>
#include <QStringDecoder>

namespace impexp {

QString ImportFile::Decode(const QByteArray &bytes)
{
    static const QByteArray bom("\xEF\xBB\xBF");
    if (bytes.startsWith(bom))
        return QString::fromUtf8(bytes.mid(bom.size()));
    bool ascii = true;
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    if (!ascii) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = utf8.decode(bytes);
        if (!utf8.hasError())
            return text;
    }
    return orvel::FromSjis(bytes);
}

bool ImportFile::Load(const QString &fileName)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        return false;
    SetText(Decode(bytes));
    return true;
}

void ImportFile::SetText(const QString &text)
{
    // A line ends at CR LF, at LF or at a lone CR, as a line of a text file is read: a file saved
    // with CR line ends must not run all its records into the first one.
    m_lines.clear();
    qsizetype start = 0;
    const qsizetype size = text.size();
    while (start < size) {
        qsizetype end = start;
        while (end < size && text.at(end) != u'\n' && text.at(end) != u'\r')
            ++end;
        m_lines << text.mid(start, end - start);
        if (end + 1 < size && text.at(end) == u'\r' && text.at(end + 1) == u'\n')
            ++end;
        start = end + 1;
    }
}

QStringList ImportFile::Fields(int n) const
{
    QStringList fields = orvel::CsvSplitLine(m_lines.at(n - 1));
    if (fields.size() > kMaxFields)
        fields.resize(kMaxFields);
    return fields;
}

} // namespace impexp
