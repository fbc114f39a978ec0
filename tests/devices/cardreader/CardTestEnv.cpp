#include "CardTestEnv.h"

#include "LineClient.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace cardtest {

namespace {
const char kPcscd[] = "/usr/sbin/pcscd";
const char kVpcdDriver[] = "/usr/lib/pcsc/drivers/serial/libifdvpcd.so";
const char kRunDir[] = "/run/pcscd";

std::string &NamespaceError()
{
    static std::string error = "the test's main() did not enter a private namespace";
    return error;
}

std::string Errno(const std::string &what)
{
    return what + ": " + std::strerror(errno);
}

bool BringLoopbackUp()
{
    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return false;
    ifreq ifr{};
    std::strncpy(ifr.ifr_name, "lo", IFNAMSIZ - 1);
    bool ok = ::ioctl(s, SIOCGIFFLAGS, &ifr) == 0;
    ifr.ifr_flags |= IFF_UP | IFF_RUNNING;
    ok = ok && ::ioctl(s, SIOCSIFFLAGS, &ifr) == 0;
    ::close(s);
    return ok;
}

// Starts argv with stdout and stderr to logPath (or a pipe when outFd is given); the child gets
// SIGTERM when the test process dies, so that nothing is left behind.
pid_t Spawn(const std::vector<std::string> &args, const std::string &logPath, int *outFd)
{
    int pipefd[2] = {-1, -1};
    if (outFd && ::pipe2(pipefd, O_CLOEXEC) != 0)
        return -1;
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
        int fd = outFd ? pipefd[1] : ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            ::dup2(fd, 1);
            ::dup2(outFd ? ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644) : fd, 2);
        }
        std::vector<char *> argv;
        for (const std::string &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    if (outFd) {
        ::close(pipefd[1]);
        *outFd = pipefd[0];
    }
    return pid;
}

void Stop(pid_t pid)
{
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    int status = 0;
    // A pcscd that has not ended after 5 s is killed; the wait reaps it either way.
    for (int i = 0; i < 500; ++i) {
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return;
        ::usleep(10000);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
}

std::string TempDir()
{
    const char *base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/cardtest-XXXXXX";
    return ::mkdtemp(tmpl.data()) ? tmpl : std::string();
}

bool SendFrame(int fd, const std::vector<uint8_t> &payload)
{
    std::vector<uint8_t> frame{uint8_t(payload.size() >> 8), uint8_t(payload.size())};
    frame.insert(frame.end(), payload.begin(), payload.end());
    return ::send(fd, frame.data(), frame.size(), MSG_NOSIGNAL) == ssize_t(frame.size());
}
} // namespace

std::string EnterPrivateNamespace()
{
    if (::geteuid() != 0)
        return NamespaceError() = "not running as root: pcscd needs a private /run/pcscd";
    if (::unshare(CLONE_NEWNS | CLONE_NEWNET) != 0)
        return NamespaceError() = Errno("unshare");
    // Nothing mounted from here on reaches the machine's own mount table.
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return NamespaceError() = Errno("making / private");
    ::mkdir("/run", 0755);
    ::mkdir(kRunDir, 0755);
    if (::mount("tmpfs", kRunDir, "tmpfs", MS_NOSUID | MS_NODEV, "mode=0755") != 0)
        return NamespaceError() = Errno("mounting a tmpfs on /run/pcscd");
    if (!BringLoopbackUp())
        return NamespaceError() = Errno("bringing the loopback interface up");
    return NamespaceError() = std::string();
}

std::string PcscUnavailable()
{
    if (!NamespaceError().empty())
        return NamespaceError();
    if (::access(kPcscd, X_OK) != 0)
        return std::string(kPcscd) + " is not installed (scripts/deps installs it)";
    if (::access(kVpcdDriver, R_OK) != 0)
        return std::string(kVpcdDriver) + " is not installed (scripts/deps installs it)";
    return std::string();
}

// ---- pcscd ----------------------------------------------------------------------------------------

PcscDaemon::PcscDaemon()
{
    m_error = PcscUnavailable();
    if (!m_error.empty())
        return;
    m_dir = TempDir();
    const std::string conf = m_dir + "/conf";
    ::mkdir(conf.c_str(), 0755);
    {
        std::ofstream f(conf + "/vpcd");
        f << "FRIENDLYNAME \"Virtual PCD\"\n"
          << "DEVICENAME /dev/null:0x" << std::hex << SlotPort(0) << "\n"
          << "LIBPATH " << kVpcdDriver << "\n"
          << "CHANNELID 0x" << SlotPort(0) << std::dec << "\n";
    }
    m_pid = Spawn({kPcscd, "-f", "-c", conf}, m_dir + "/pcscd.log", nullptr);
    // Its socket appears once the readers are set up (within some tens of milliseconds).
    const std::string socket = std::string(kRunDir) + "/pcscd.comm";
    for (int i = 0; i < 500; ++i) {
        if (::access(socket.c_str(), F_OK) == 0) {
            m_ok = true;
            return;
        }
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            m_error = "pcscd ended at once; see " + m_dir + "/pcscd.log";
            return;
        }
        ::usleep(10000);
    }
    m_error = "pcscd made no socket within 5 s; see " + m_dir + "/pcscd.log";
}

PcscDaemon::~PcscDaemon()
{
    Stop(m_pid);
    if (!m_dir.empty() && m_ok) {
        std::remove((m_dir + "/conf/vpcd").c_str());
        ::rmdir((m_dir + "/conf").c_str());
        std::remove((m_dir + "/pcscd.log").c_str());
        ::rmdir(m_dir.c_str());
    }
}

// ---- virtual card ---------------------------------------------------------------------------------

VirtualCard::VirtualCard(int slot, CardData card)
    : m_card(std::move(card))
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(uint16_t(PcscDaemon::SlotPort(slot)));
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    // vpcd listens once pcscd has set its reader up.
    for (int i = 0; i < 300 && m_fd < 0; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::connect(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) == 0) {
            m_fd = fd;
            break;
        }
        ::close(fd);
        ::usleep(10000);
    }
    if (m_fd >= 0)
        m_thread = std::thread([this] { Serve(); });
}

VirtualCard::~VirtualCard()
{
    m_stop = true;
    if (m_fd >= 0)
        ::shutdown(m_fd, SHUT_RDWR);
    if (m_thread.joinable())
        m_thread.join();
    if (m_fd >= 0)
        ::close(m_fd);
}

void VirtualCard::Serve()
{
    // Frames both ways: a 2-byte big-endian length, then the payload. From vpcd a 1-byte payload
    // is a control code (0 off, 1 on, 2 reset, 4 send the ATR), anything else a command APDU.
    const bool felica = m_card.uid.size() == 8;
    const std::vector<uint8_t> atr =
        felica ? Hex("3B8F8001804F0CA00000030611003B0000000042") : Hex("3B8F8001804F0CA000000306030001000000006A");
    std::vector<uint8_t> buf;
    while (!m_stop) {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        uint8_t chunk[512];
        const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            return;
        buf.insert(buf.end(), chunk, chunk + n);
        while (buf.size() >= 2) {
            const size_t len = size_t(buf[0]) << 8 | buf[1];
            if (buf.size() < 2 + len)
                break;
            const std::vector<uint8_t> payload(buf.begin() + 2, buf.begin() + 2 + long(len));
            buf.erase(buf.begin(), buf.begin() + 2 + long(len));
            if (len == 1) {
                if (payload[0] == 4)
                    SendFrame(m_fd, atr);
                continue;
            }
            ++m_apdus;
            std::vector<uint8_t> answer;
            if (payload.size() >= 4 && payload[0] == 0xFF && payload[1] == 0xCA && payload[3] == 0x00) {
                if (payload[2] == 0x00)
                    answer = m_card.uid;
                else if (payload[2] == 0x01)
                    answer = m_card.pmm;
            }
            if (answer.empty()) {
                answer = {0x6A, 0x81}; // function not supported
            } else {
                answer.push_back(0x90);
                answer.push_back(0x00);
            }
            SendFrame(m_fd, answer);
        }
    }
}

// ---- cardsim --------------------------------------------------------------------------------------

CardSimProcess::CardSimProcess(const std::string &socketPath, const std::vector<std::string> &args)
    : m_socket(socketPath)
{
    std::vector<std::string> argv{CARDSIM_PATH, "--socket", socketPath};
    argv.insert(argv.end(), args.begin(), args.end());
    int out = -1;
    m_pid = Spawn(argv, socketPath + ".log", &out);
    if (m_pid < 0)
        return;
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (text.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd p{out, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        char buf[256];
        const ssize_t n = ::read(out, buf, sizeof buf);
        if (n <= 0)
            break;
        text.append(buf, size_t(n));
    }
    ::close(out);
    m_ready = text.rfind("cardsim ready", 0) == 0;
}

CardSimProcess::~CardSimProcess()
{
    Stop(m_pid);
    std::remove((m_socket + ".log").c_str());
}

std::vector<std::string> CardSimProcess::Ctl(const std::string &command, bool *ok)
{
    const devsim::LineReply r = devsim::LineCall(m_socket, command, 5000);
    if (ok)
        *ok = r.result == devsim::LineReply::Ok;
    return r.lines;
}

bool CardSimProcess::CtlOk(const std::string &command)
{
    bool ok = false;
    Ctl(command, &ok);
    return ok;
}

std::vector<uint8_t> Hex(const std::string &text)
{
    std::vector<uint8_t> bytes;
    if (text.size() % 2 != 0)
        return bytes;
    for (size_t i = 0; i < text.size(); i += 2)
        bytes.push_back(uint8_t(std::strtoul(text.substr(i, 2).c_str(), nullptr, 16)));
    return bytes;
}

} // namespace cardtest
