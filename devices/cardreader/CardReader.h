#pragma once
// What libgfi2.so and libmifaredrv.so share: the options, the PC/SC back end and the simulated
// reader's client. Each library links its own copy, so each has its own options and context.
// Plain C++, no Qt.

#include <PCSC/winscard.h>

#include <cstdint>
#include <string>
#include <vector>

namespace cardreader {

enum class Backend { Auto, Pcsc, Sim };

struct Options
{
    Backend backend = Backend::Auto;
    std::string simSocket = "cardreader.sock";
    int simTimeoutMs = 1000;
};
Options &Opt();
// One option by key (see cardlib.h); CARD_OK or CARD_E_ARGUMENT.
int SetOption(const char *key, const char *value);

// ---- PC/SC --------------------------------------------------------------------------------------
// One PC/SC context with the readers it sees. A card is read with the reader's own "get data"
// command: FF CA 00 00 00 gives the UID (the IDm of a FeliCa card), FF CA 01 00 00 the PMm of a
// FeliCa card where the reader supports it.
class Pcsc
{
public:
    ~Pcsc() { Release(); }
    // SCARD_S_SUCCESS or the PC/SC error (SCARD_E_NO_SERVICE when pcscd is not running).
    LONG Establish();
    void Release();
    bool HasContext() const { return m_context != 0; }
    // The reader names in PC/SC order; empty when there is no context or no reader.
    std::vector<std::string> Readers();

    enum class Read { Card, NoCard, NoReader };
    // The UID of the card on reader, and with wantPmm the PMm (8 bytes; empty when the reader
    // does not give it).
    Read ReadCard(const std::string &reader, std::vector<uint8_t> *uid, std::vector<uint8_t> *pmm);

private:
    SCARDCONTEXT m_context = 0;
};

// True when the context can be had (established now if needed) and sees at least one reader.
bool PcscHasReaders(Pcsc &pcsc);

// ---- simulated reader ---------------------------------------------------------------------------
enum class SimResult { Answered, NoReader };
// One request to the simulated reader; its data lines in *lines.
SimResult SimCall(const std::string &command, std::vector<std::string> *lines);

// ---- conversions --------------------------------------------------------------------------------
// The 32-bit serial of a Mifare UID: the last four UID bytes, the first of them lowest. A 4-byte
// UID gives UID0 + UID1*2^8 + UID2*2^16 + UID3*2^24; a 7- or 10-byte UID gives the same of its
// last four bytes (its first bytes are the maker code and the cascade, shared by many cards).
// False for other lengths.
bool MifareSerialOfUid(const std::vector<uint8_t> &uid, uint32_t *serial);

bool ParseHex(const std::string &text, std::vector<uint8_t> *bytes);

} // namespace cardreader
