#include "CardSim.h"

#include <QRegularExpression>

namespace cardsim {

namespace {
const char kHelp[] =
    "felica IDM PMM | felica IDMPMM   present a FeliCa card (16 hexadecimal digits each)\n"
    "mifare SERIAL                    present a Mifare card (0 to 4294967295, or 0x and hexadecimal)\n"
    "remove                           take the card off the reader\n"
    "unplug                           unplug the reader: the libraries find none\n"
    "plug [PORT]                      plug the reader in, at PORT for the Mifare library (1 at start)\n"
    "status                           the reader and the card on it\n"
    "stats [clear]                    requests from the libraries, and the Mifare ports asked\n"
    "quit                             end the simulator\n"
    "felica-open, felica-read, mifare-read PORT   the libraries' own requests";

bool IsHex(const QString &s, int digits)
{
    static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]+$"));
    return s.size() == digits && hex.match(s).hasMatch();
}

bool ParseSerial(const QString &text, quint32 *serial)
{
    bool ok = false;
    qulonglong v = 0;
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        v = text.mid(2).toULongLong(&ok, 16);
    else
        v = text.toULongLong(&ok, 10);
    if (!ok || v > 0xFFFFFFFFull)
        return false;
    *serial = quint32(v);
    return true;
}

bool ParsePort(const QString &text, int *port)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < 1 || v > 65535)
        return false;
    *port = v;
    return true;
}
} // namespace

QString CardSim::StatusLine() const
{
    QString reader = m_plugged ? QStringLiteral("reader plugged port=%1").arg(m_port)
                               : QStringLiteral("reader unplugged port=%1").arg(m_port);
    switch (m_card) {
    case Card::None:
        return reader + QStringLiteral(" card=none");
    case Card::Felica:
        return reader + QStringLiteral(" card=felica idm=%1 pmm=%2").arg(m_idm, m_pmm);
    case Card::Mifare:
        return reader + QStringLiteral(" card=mifare serial=%1").arg(m_serial);
    }
    return reader;
}

CardSim::Answer CardSim::Handle(const QString &line)
{
    Answer a;
    const QStringList w = line.simplified().split(u' ', Qt::SkipEmptyParts);
    if (w.isEmpty()) {
        a.error = QStringLiteral("empty command");
        return a;
    }
    const QString cmd = w[0].toLower();

    // ---- requests of the libraries ----
    if (cmd == QLatin1String("felica-open")) {
        ++m_felicaOpens;
        if (!m_plugged)
            a.error = QStringLiteral("no reader");
        return a;
    }
    if (cmd == QLatin1String("felica-read")) {
        ++m_felicaReads;
        if (!m_plugged)
            a.error = QStringLiteral("no reader");
        else if (m_card == Card::Felica)
            a.lines << m_idm + u' ' + m_pmm;
        return a;
    }
    if (cmd == QLatin1String("mifare-read")) {
        int port = 0;
        if (w.size() != 2 || !ParsePort(w[1], &port)) {
            a.error = QStringLiteral("usage: mifare-read PORT");
            return a;
        }
        ++m_mifareReads;
        m_mifarePorts.push_back(port);
        if (m_mifarePorts.size() > 1024)
            m_mifarePorts.erase(m_mifarePorts.begin());
        if (!m_plugged || port != m_port)
            a.error = QStringLiteral("no reader at port %1").arg(port);
        else if (m_card == Card::Mifare)
            a.lines << QString::number(m_serial);
        else
            a.lines << QStringLiteral("none");
        return a;
    }

    // ---- control commands ----
    if (cmd == QLatin1String("help")) {
        a.lines = QString::fromLatin1(kHelp).split(u'\n');
    } else if (cmd == QLatin1String("felica")) {
        QString idm, pmm;
        if (w.size() == 3 && IsHex(w[1], 16) && IsHex(w[2], 16)) {
            idm = w[1];
            pmm = w[2];
        } else if (w.size() == 2 && IsHex(w[1], 32)) {
            idm = w[1].left(16);
            pmm = w[1].mid(16);
        } else {
            a.error = QStringLiteral("usage: felica IDM PMM (16 hexadecimal digits each)");
            return a;
        }
        m_card = Card::Felica;
        m_idm = idm.toUpper();
        m_pmm = pmm.toUpper();
        a.lines << StatusLine();
    } else if (cmd == QLatin1String("mifare")) {
        quint32 serial = 0;
        if (w.size() != 2 || !ParseSerial(w[1], &serial)) {
            a.error = QStringLiteral("usage: mifare SERIAL (0 to 4294967295, or 0x and hexadecimal)");
            return a;
        }
        m_card = Card::Mifare;
        m_serial = serial;
        a.lines << StatusLine();
    } else if (cmd == QLatin1String("remove")) {
        m_card = Card::None;
        a.lines << StatusLine();
    } else if (cmd == QLatin1String("unplug")) {
        m_plugged = false;
        a.lines << StatusLine();
    } else if (cmd == QLatin1String("plug")) {
        int port = m_port;
        if (w.size() > 2 || (w.size() == 2 && !ParsePort(w[1], &port))) {
            a.error = QStringLiteral("usage: plug [PORT] (1 to 65535)");
            return a;
        }
        m_plugged = true;
        m_port = port;
        a.lines << StatusLine();
    } else if (cmd == QLatin1String("status")) {
        a.lines << StatusLine();
    } else if (cmd == QLatin1String("stats")) {
        if (w.size() == 2 && w[1].toLower() == QLatin1String("clear")) {
            m_felicaOpens = m_felicaReads = m_mifareReads = 0;
            m_mifarePorts.clear();
        } else if (w.size() != 1) {
            a.error = QStringLiteral("usage: stats [clear]");
            return a;
        }
        QStringList ports;
        for (int p : m_mifarePorts)
            ports << QString::number(p);
        a.lines << QStringLiteral("felica-open %1").arg(m_felicaOpens)
                << QStringLiteral("felica-read %1").arg(m_felicaReads)
                << QStringLiteral("mifare-read %1").arg(m_mifareReads)
                << QStringLiteral("mifare-ports %1").arg(ports.join(u' '));
    } else if (cmd == QLatin1String("quit")) {
        a.quit = true;
    } else {
        a.error = QStringLiteral("unknown command %1 (try help)").arg(w[0]);
    }
    return a;
}

} // namespace cardsim
