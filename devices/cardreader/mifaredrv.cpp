// libmifaredrv.so: the Mifare reader library (shared/cardlib.h). Every GetMifareCardID opens
// what it needs and CloseCommPort closes it again, so nothing stays held between calls.
//
// Port n is the n-th reader: the n-th PC/SC reader in the service's order, or the simulated
// reader when it is plugged in at port n. The back end is chosen on every call: PC/SC when
// chosen, or (AUTO) when the service sees a reader; otherwise the simulated reader.

#include "CardReader.h"
#include "cardlib.h"

#include <cstdlib>
#include <string>

using namespace cardreader;

namespace {
Pcsc g_pcsc;
constexpr int kLineSpeed = 38400;

int ReadPcsc(int port, uint8_t *status, int32_t *serial)
{
    const std::vector<std::string> readers = g_pcsc.Readers();
    if (port > int(readers.size()))
        return CARD_E_NO_READER;
    std::vector<uint8_t> uid;
    switch (g_pcsc.ReadCard(readers[size_t(port - 1)], &uid, nullptr)) {
    case Pcsc::Read::NoReader:
        return CARD_E_NO_READER;
    case Pcsc::Read::NoCard:
        *status = MIFARE_NO_CARD;
        return CARD_OK;
    case Pcsc::Read::Card:
        break;
    }
    uint32_t value = 0;
    if (!MifareSerialOfUid(uid, &value)) {
        *status = MIFARE_UNREADABLE;
        return CARD_OK;
    }
    *serial = int32_t(value);
    *status = MIFARE_CARD_READ;
    return CARD_OK;
}

int ReadSim(int port, uint8_t *status, int32_t *serial)
{
    std::vector<std::string> lines;
    if (SimCall("mifare-read " + std::to_string(port), &lines) != SimResult::Answered)
        return CARD_E_NO_READER;
    if (lines.empty() || lines.front() == "none") {
        *status = MIFARE_NO_CARD;
        return CARD_OK;
    }
    char *end = nullptr;
    const unsigned long long value = std::strtoull(lines.front().c_str(), &end, 10);
    if (!end || *end || value > 0xFFFFFFFFull) {
        *status = MIFARE_UNREADABLE;
        return CARD_OK;
    }
    *serial = int32_t(uint32_t(value));
    *status = MIFARE_CARD_READ;
    return CARD_OK;
}
} // namespace

extern "C" {

CARDLIB_API int MifareSetOption(const char *key, const char *value)
{
    return SetOption(key, value);
}

CARDLIB_API int GetMifareCardID(int port, int baud, uint8_t *status, int32_t *serial)
{
    if (!status || !serial || port < 1)
        return CARD_E_ARGUMENT;
    *status = MIFARE_NO_CARD;
    *serial = 0;
    // The readers talk at one line speed; at any other there is no answer.
    if (baud != kLineSpeed)
        return CARD_E_SPEED;
    switch (Opt().backend) {
    case Backend::Pcsc:
        if (g_pcsc.Establish() != SCARD_S_SUCCESS)
            return CARD_E_NO_SERVICE;
        return ReadPcsc(port, status, serial);
    case Backend::Auto:
        if (PcscHasReaders(g_pcsc))
            return ReadPcsc(port, status, serial);
        g_pcsc.Release();
        return ReadSim(port, status, serial);
    case Backend::Sim:
        break;
    }
    return ReadSim(port, status, serial);
}

CARDLIB_API int CloseCommPort(void)
{
    g_pcsc.Release();
    return CARD_OK;
}

} // extern "C"
