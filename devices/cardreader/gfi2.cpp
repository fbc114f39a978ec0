// libgfi2.so: the FeliCa reader library (shared/cardlib.h). A session is InitFelicaDll,
// UsbPortOpen, GetIDmPmm once per poll, UsbPortClose, TermFelicaDll.
//
// The back end is fixed when the port opens: PC/SC (any reader with a FeliCa card on it) or the
// simulated reader. A reader that does not give the PMm ("get data" FF CA 01 00 00 refused)
// reads as eight zero bytes, so a card always gives the same 32-character ID on that reader.

#include "CardReader.h"
#include "cardlib.h"

#include <cstring>

using namespace cardreader;

namespace {
bool g_initialised = false;
bool g_open = false;
Backend g_active = Backend::Sim; // back end of the open port
Pcsc g_pcsc;

int ReadPcsc(uint8_t *idm, uint8_t *pmm)
{
    const std::vector<std::string> readers = g_pcsc.Readers();
    if (readers.empty())
        return CARD_E_NO_READER;
    for (const std::string &r : readers) {
        std::vector<uint8_t> uid, p;
        if (g_pcsc.ReadCard(r, &uid, &p) != Pcsc::Read::Card || uid.size() != 8)
            continue; // no card here, or a card that is not FeliCa
        std::memcpy(idm, uid.data(), 8);
        if (p.size() == 8)
            std::memcpy(pmm, p.data(), 8);
        else
            std::memset(pmm, 0, 8);
        return CARD_OK;
    }
    return CARD_E_NO_CARD;
}

int ReadSim(uint8_t *idm, uint8_t *pmm)
{
    std::vector<std::string> lines;
    if (SimCall("felica-read", &lines) != SimResult::Answered)
        return CARD_E_NO_READER;
    if (lines.empty())
        return CARD_E_NO_CARD;
    // "IDM PMM", 16 hexadecimal digits each.
    const std::string &line = lines.front();
    const size_t space = line.find(' ');
    std::vector<uint8_t> i, p;
    if (space == std::string::npos || !ParseHex(line.substr(0, space), &i) ||
        !ParseHex(line.substr(space + 1), &p) || i.size() != 8 || p.size() != 8)
        return CARD_E_NO_CARD;
    std::memcpy(idm, i.data(), 8);
    std::memcpy(pmm, p.data(), 8);
    return CARD_OK;
}
} // namespace

extern "C" {

CARDLIB_API int FelicaSetOption(const char *key, const char *value)
{
    return SetOption(key, value);
}

CARDLIB_API int InitFelicaDll(void)
{
    g_open = false;
    if (Opt().backend == Backend::Pcsc && g_pcsc.Establish() != SCARD_S_SUCCESS)
        return CARD_E_NO_SERVICE;
    g_initialised = true;
    return CARD_OK;
}

CARDLIB_API int UsbPortOpen(void)
{
    if (!g_initialised)
        return CARD_E_NOT_INITIALISED;
    g_open = false;
    switch (Opt().backend) {
    case Backend::Pcsc:
        if (g_pcsc.Readers().empty())
            return CARD_E_NO_READER;
        g_active = Backend::Pcsc;
        break;
    case Backend::Auto:
        if (PcscHasReaders(g_pcsc)) {
            g_active = Backend::Pcsc;
            break;
        }
        g_pcsc.Release();
        [[fallthrough]];
    case Backend::Sim:
        if (SimCall("felica-open", nullptr) != SimResult::Answered)
            return CARD_E_NO_READER;
        g_active = Backend::Sim;
        break;
    }
    g_open = true;
    return CARD_OK;
}

CARDLIB_API int GetIDmPmm(uint8_t *idm, uint8_t *pmm)
{
    if (!idm || !pmm)
        return CARD_E_ARGUMENT;
    if (!g_open)
        return CARD_E_NOT_OPEN;
    return g_active == Backend::Pcsc ? ReadPcsc(idm, pmm) : ReadSim(idm, pmm);
}

CARDLIB_API int UsbPortClose(void)
{
    g_open = false;
    return CARD_OK;
}

CARDLIB_API int TermFelicaDll(void)
{
    g_open = false;
    g_initialised = false;
    g_pcsc.Release();
    return CARD_OK;
}

} // extern "C"
