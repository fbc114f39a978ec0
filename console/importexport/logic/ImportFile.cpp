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
    m_lines.clear();
    qsizetype start = 0;
    const qsizetype size = text.size();
    while (start < size) {
        qsizetype end = text.indexOf(u'\n', start);
        if (end < 0)
            end = size;
        QString line = text.mid(start, end - start);
        if (line.endsWith(u'\r'))
            line.chop(1);
        m_lines << line;
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
