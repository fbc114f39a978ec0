#include "SimProcess.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

namespace {
bool ReadLine(int fd, std::string &buffer, std::string &line, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto nl = buffer.find('\n');
        if (nl != std::string::npos) {
            line = buffer.substr(0, nl);
            buffer.erase(0, nl + 1);
            return true;
        }
        const int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 deadline - std::chrono::steady_clock::now())
                                 .count());
        if (left <= 0)
            return false;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, left) <= 0)
            continue;
        char buf[4096];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0)
            return false;
        buffer.append(buf, size_t(n));
    }
}
} // namespace

SimProcess::SimProcess(const std::vector<std::string> &args)
{
    int pipefd[2];
    if (::pipe(pipefd) < 0)
        return;
    std::vector<std::string> full{GATESIM_PATH};
    full.insert(full.end(), args.begin(), args.end());
    full.push_back("--control");
    full.push_back("127.0.0.1:0");
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(pipefd[1], 1);
        ::close(pipefd[0]);
        ::close(pipefd[1]);
        std::vector<char *> argv;
        for (auto &a : full)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pipefd[1]);
    out_ = pipefd[0];
    std::string buffer, line;
    while (ReadLine(out_, buffer, line, 10000)) {
        std::istringstream in(line);
        std::string word;
        in >> word;
        if (word == "gate") {
            std::string number, transport, where;
            in >> number >> transport >> where;
            SimGate g;
            g.transport = transport;
            if (transport == "tcp") {
                const auto colon = where.rfind(':');
                g.address = where.substr(0, colon);
                g.port = std::stoi(where.substr(colon + 1));
            } else {
                g.address = where;
            }
            gates_[number] = g;
        } else if (word == "gatesim") {
            const auto colon = line.rfind(':');
            controlPort_ = std::stoi(line.substr(colon + 1));
            ready_ = true;
            break;
        }
    }
}

SimProcess::~SimProcess()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    if (out_ >= 0)
        ::close(out_);
}

bool SimProcess::alive()
{
    int status = 0;
    if (pid_ <= 0)
        return false;
    if (::waitpid(pid_, &status, WNOHANG) == 0)
        return true;
    pid_ = -1; // reaped: never signal a pid that may be reused
    return false;
}

std::vector<std::string> SimProcess::control(const std::string &line)
{
    std::vector<std::string> out;
    const int fd = ConnectLoopback("127.0.0.1", controlPort_);
    if (fd < 0) {
        out.push_back("ERR cannot connect to control port");
        return out;
    }
    const std::string text = line + "\n";
    (void)!::write(fd, text.data(), text.size());
    std::string buffer, l;
    while (ReadLine(fd, buffer, l, 5000)) {
        out.push_back(l);
        if (l.rfind("OK", 0) == 0 || l.rfind("ERR", 0) == 0)
            break;
    }
    ::close(fd);
    if (out.empty())
        out.push_back("ERR no answer");
    return out;
}

bool SimProcess::controlOk(const std::string &line)
{
    return control(line).back() == "OK";
}

int ListenLoopback(int *port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) < 0 || ::listen(fd, 4) < 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&sa), &len) < 0) {
        ::close(fd);
        return -1;
    }
    *port = ntohs(sa.sin_port);
    return fd;
}

int ConnectLoopback(const std::string &address, int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(uint16_t(port));
    ::inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) < 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace testsupport
