#pragma once
// What the card reader tests run against: a real pcscd with the virtual reader driver (vpcd) in a
// namespace of the test's own, a virtual card that the test plays over vpcd's socket, and the
// simulated reader cardsim as a child process. No Qt.

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include <sys/types.h>

namespace cardtest {

// Gives this process mount and network namespaces of its own: a private /run/pcscd (pcscd's
// socket and pid file have fixed paths) and a private loopback (vpcd's fixed ports), so that
// tests running side by side, and a pcscd of the machine, never meet. Call first in main(),
// while the process has one thread. Returns "" or why it could not (the pcscd tests then skip).
std::string EnterPrivateNamespace();
// "" when the pcscd tests can run here, otherwise why not.
std::string PcscUnavailable();

// pcscd in the foreground with one virtual reader entry, which gives two readers ("slots"); the
// card of slot n is played on TCP port SlotPort(n) of the loopback address.
class PcscDaemon
{
public:
    PcscDaemon();
    ~PcscDaemon(); // SIGTERM, and waits for it to end
    PcscDaemon(const PcscDaemon &) = delete;
    PcscDaemon &operator=(const PcscDaemon &) = delete;
    bool ok() const { return m_ok; }
    const std::string &error() const { return m_error; }
    static int SlotPort(int slot) { return 0x9C40 + slot; }

private:
    pid_t m_pid = -1;
    bool m_ok = false;
    std::string m_error;
    std::string m_dir;
};

// A contactless card as the reader's "get data" command sees it: the UID (the IDm of a FeliCa
// card) and the PMm, which an empty pmm makes the reader refuse.
struct CardData
{
    std::vector<uint8_t> uid;
    std::vector<uint8_t> pmm;
};

// Puts a card on the virtual reader of a slot: connects to vpcd and answers it from a thread
// until destroyed, which takes the card away.
class VirtualCard
{
public:
    VirtualCard(int slot, CardData card);
    ~VirtualCard();
    VirtualCard(const VirtualCard &) = delete;
    VirtualCard &operator=(const VirtualCard &) = delete;
    bool ok() const { return m_fd >= 0; }
    int apdus() const { return m_apdus; }

private:
    void Serve();
    int m_fd = -1;
    CardData m_card;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_apdus{0};
    std::thread m_thread;
};

// The simulated reader on a socket of the test's own.
class CardSimProcess
{
public:
    explicit CardSimProcess(const std::string &socketPath, const std::vector<std::string> &args = {});
    ~CardSimProcess();
    CardSimProcess(const CardSimProcess &) = delete;
    CardSimProcess &operator=(const CardSimProcess &) = delete;
    bool ok() const { return m_ready; }
    // One control command; the data lines, *ok false on ERR or no answer.
    std::vector<std::string> Ctl(const std::string &command, bool *ok = nullptr);
    bool CtlOk(const std::string &command);
    const std::string &socket() const { return m_socket; }

private:
    pid_t m_pid = -1;
    bool m_ready = false;
    std::string m_socket;
};

// Bytes from hexadecimal text ("012E4C..."); empty on bad input.
std::vector<uint8_t> Hex(const std::string &text);

} // namespace cardtest
