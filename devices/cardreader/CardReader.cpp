#include "CardReader.h"

#include "LineClient.h"
#include "cardlib.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace cardreader {

Options &Opt()
{
    static Options options;
    return options;
}

int SetOption(const char *key, const char *value)
{
    if (!key || !value)
        return CARD_E_ARGUMENT;
    if (strcasecmp(key, "READER_BACKEND") == 0) {
        if (strcasecmp(value, "AUTO") == 0 || *value == 0)
            Opt().backend = Backend::Auto;
        else if (strcasecmp(value, "PCSC") == 0)
            Opt().backend = Backend::Pcsc;
        else if (strcasecmp(value, "SIM") == 0)
            Opt().backend = Backend::Sim;
        else
            return CARD_E_ARGUMENT;
        return CARD_OK;
    }
    if (strcasecmp(key, "SIM_SOCKET") == 0) {
        if (*value == 0)
            return CARD_E_ARGUMENT;
        Opt().simSocket = value;
        return CARD_OK;
    }
    if (strcasecmp(key, "SIM_TIMEOUT_MS") == 0) {
        char *end = nullptr;
        const long ms = std::strtol(value, &end, 10);
        if (!end || *end || ms <= 0 || ms > 600000)
            return CARD_E_ARGUMENT;
        Opt().simTimeoutMs = int(ms);
        return CARD_OK;
    }
    return CARD_E_ARGUMENT;
}

// ---- PC/SC --------------------------------------------------------------------------------------

LONG Pcsc::Establish()
{
    if (m_context != 0)
        return SCARD_S_SUCCESS;
    SCARDCONTEXT c = 0;
    const LONG rv = SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &c);
    if (rv == SCARD_S_SUCCESS)
        m_context = c;
    return rv;
}

void Pcsc::Release()
{
    if (m_context != 0)
        SCardReleaseContext(m_context);
    m_context = 0;
}

std::vector<std::string> Pcsc::Readers()
{
    std::vector<std::string> names;
    if (m_context == 0)
        return names;
    DWORD len = 0;
    LONG rv = SCardListReaders(m_context, nullptr, nullptr, &len);
    if (rv == SCARD_E_NO_SERVICE || rv == SCARD_E_INVALID_HANDLE) {
        // The service went away (or restarted) since the context was made: one fresh try.
        Release();
        if (Establish() != SCARD_S_SUCCESS)
            return names;
        rv = SCardListReaders(m_context, nullptr, nullptr, &len);
    }
    if (rv != SCARD_S_SUCCESS || len == 0)
        return names;
    std::vector<char> buf(len);
    if (SCardListReaders(m_context, nullptr, buf.data(), &len) != SCARD_S_SUCCESS)
        return names;
    // A multi-string: names separated by NUL, ended by an empty name.
    for (size_t i = 0; i < buf.size() && buf[i] != 0;) {
        const std::string name(&buf[i]);
        names.push_back(name);
        i += name.size() + 1;
    }
    return names;
}

namespace {
// One "get data" command; the data without the status word, or false when the card refused it.
bool GetData(SCARDHANDLE card, DWORD protocol, uint8_t p1, std::vector<uint8_t> *data)
{
    const uint8_t apdu[] = {0xFF, 0xCA, p1, 0x00, 0x00};
    uint8_t answer[258];
    DWORD len = sizeof answer;
    const SCARD_IO_REQUEST *pci = protocol == SCARD_PROTOCOL_T0 ? SCARD_PCI_T0 : SCARD_PCI_T1;
    if (SCardTransmit(card, pci, apdu, sizeof apdu, nullptr, answer, &len) != SCARD_S_SUCCESS || len < 2)
        return false;
    if (answer[len - 2] != 0x90 || answer[len - 1] != 0x00)
        return false;
    data->assign(answer, answer + len - 2);
    return true;
}
} // namespace

Pcsc::Read Pcsc::ReadCard(const std::string &reader, std::vector<uint8_t> *uid, std::vector<uint8_t> *pmm)
{
    if (m_context == 0)
        return Read::NoReader;
    SCARDHANDLE card = 0;
    DWORD protocol = 0;
    const LONG rv = SCardConnect(m_context, reader.c_str(), SCARD_SHARE_SHARED,
                                 SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &card, &protocol);
    if (rv == SCARD_E_UNKNOWN_READER || rv == SCARD_E_READER_UNAVAILABLE || rv == SCARD_E_NO_SERVICE ||
        rv == SCARD_E_INVALID_HANDLE)
        return Read::NoReader;
    if (rv != SCARD_S_SUCCESS)
        return Read::NoCard; // no card, removed, unresponsive or held by another program
    Read result = Read::NoCard;
    if (GetData(card, protocol, 0x00, uid) && !uid->empty()) {
        result = Read::Card;
        if (pmm && (!GetData(card, protocol, 0x01, pmm) || pmm->size() != 8))
            pmm->clear();
    }
    SCardDisconnect(card, SCARD_LEAVE_CARD);
    return result;
}

bool PcscHasReaders(Pcsc &pcsc)
{
    if (pcsc.Establish() != SCARD_S_SUCCESS)
        return false;
    return !pcsc.Readers().empty();
}

// ---- simulated reader ---------------------------------------------------------------------------

SimResult SimCall(const std::string &command, std::vector<std::string> *lines)
{
    devsim::LineReply r = devsim::LineCall(Opt().simSocket, command, Opt().simTimeoutMs);
    if (r.result != devsim::LineReply::Ok)
        return SimResult::NoReader;
    if (lines)
        *lines = std::move(r.lines);
    return SimResult::Answered;
}

// ---- conversions --------------------------------------------------------------------------------

bool MifareSerialOfUid(const std::vector<uint8_t> &uid, uint32_t *serial)
{
    if (uid.size() != 4 && uid.size() != 7 && uid.size() != 10)
        return false;
    const uint8_t *b = uid.data() + uid.size() - 4;
    *serial = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    return true;
}

bool ParseHex(const std::string &text, std::vector<uint8_t> *bytes)
{
    if (text.size() % 2 != 0)
        return false;
    bytes->clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        if (!std::isxdigit(static_cast<unsigned char>(text[i])) ||
            !std::isxdigit(static_cast<unsigned char>(text[i + 1])))
            return false;
        bytes->push_back(uint8_t(std::strtoul(text.substr(i, 2).c_str(), nullptr, 16)));
    }
    return true;
}

} // namespace cardreader
