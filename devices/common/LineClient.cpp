#include "LineClient.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace devline {

namespace {

using Clock = std::chrono::steady_clock;

int Remaining(Clock::time_point deadline)
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return ms > 0 ? int(ms) : 0;
}

struct Fd {
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

Answer Transact(const std::string &path, const std::string &line, int timeoutMs)
{
    Answer a;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof addr.sun_path) {
        a.error = path.empty() ? "no socket path" : "socket path too long (at most 107 bytes): " + path;
        return a;
    }
    std::memcpy(addr.sun_path, path.data(), path.size());
    Fd s;
    s.fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s.fd < 0) {
        a.error = std::string("socket: ") + std::strerror(errno);
        return a;
    }
    if (::connect(s.fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        a.error = "nothing listens on " + path + ": " + std::strerror(errno);
        return a;
    }
    a.reached = true;
    ::fcntl(s.fd, F_SETFL, ::fcntl(s.fd, F_GETFL) | O_NONBLOCK);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);

    const std::string out = line + "\n";
    size_t sent = 0;
    while (sent < out.size()) {
        const ssize_t n = ::send(s.fd, out.data() + sent, out.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{s.fd, POLLOUT, 0};
            if (::poll(&p, 1, Remaining(deadline)) > 0)
                continue;
            a.error = "time-out sending to " + path;
            return a;
        }
        a.error = std::string("send: ") + std::strerror(errno);
        return a;
    }

    std::string buf;
    size_t scanned = 0;
    for (;;) {
        size_t nl;
        while ((nl = buf.find('\n', scanned)) != std::string::npos) {
            std::string l = buf.substr(scanned, nl - scanned);
            scanned = nl + 1;
            if (!l.empty() && l.back() == '\r')
                l.pop_back();
            if (l == "OK") {
                a.ok = true;
                return a;
            }
            if (l.rfind("ERR", 0) == 0) {
                a.error = l.size() > 4 ? l.substr(4) : "error";
                return a;
            }
            a.data.push_back(std::move(l));
        }
        pollfd p{s.fd, POLLIN, 0};
        const int r = ::poll(&p, 1, Remaining(deadline));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0) {
            a.error = "no answer from " + path;
            return a;
        }
        char chunk[16384];
        const ssize_t n = ::recv(s.fd, chunk, sizeof chunk, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0) {
            a.error = "the simulator closed the connection";
            return a;
        }
        buf.append(chunk, size_t(n));
    }
}

} // namespace devline
