#include "LineClient.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace devsim {

namespace {
long long NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

struct Fd
{
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// Waits for events on fd until the deadline; false on time-out or error.
bool WaitFor(int fd, short events, long long deadline)
{
    for (;;) {
        const long long left = deadline - NowMs();
        if (left <= 0)
            return false;
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, int(left));
        if (n > 0)
            return true;
        if (n < 0 && errno != EINTR)
            return false;
    }
}

LineReply Unreachable(const std::string &why)
{
    LineReply r;
    r.result = LineReply::Unreachable;
    r.error = why;
    return r;
}
} // namespace

LineReply LineCall(const std::string &socketPath, const std::string &command, int timeoutMs)
{
    sockaddr_un sa{};
    sa.sun_family = AF_UNIX;
    if (socketPath.empty() || socketPath.size() >= sizeof sa.sun_path)
        return Unreachable("socket path empty or longer than " + std::to_string(sizeof sa.sun_path - 1) +
                           " bytes: " + socketPath);
    std::memcpy(sa.sun_path, socketPath.data(), socketPath.size());
    const long long deadline = NowMs() + (timeoutMs > 0 ? timeoutMs : 1000);

    Fd s;
    s.fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (s.fd < 0)
        return Unreachable(std::strerror(errno));
    // A Unix-domain connect completes at once, or fails (no file, nobody listening, backlog full).
    if (::connect(s.fd, reinterpret_cast<const sockaddr *>(&sa), sizeof sa) != 0)
        return Unreachable(socketPath + ": " + std::strerror(errno));

    std::string out = command + "\n";
    size_t sent = 0;
    while (sent < out.size()) {
        const ssize_t n = ::send(s.fd, out.data() + sent, out.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += size_t(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            if (!WaitFor(s.fd, POLLOUT, deadline))
                return Unreachable("no answer in time");
        } else {
            return Unreachable(std::strerror(errno));
        }
    }

    LineReply reply;
    std::string pending;
    char buf[16384];
    for (;;) {
        size_t nl;
        while ((nl = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, nl);
            pending.erase(0, nl + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (line == "OK") {
                reply.result = LineReply::Ok;
                return reply;
            }
            if (line == "ERR" || line.rfind("ERR ", 0) == 0) {
                reply.result = LineReply::Err;
                reply.error = line.size() > 4 ? line.substr(4) : std::string();
                return reply;
            }
            reply.lines.push_back(std::move(line));
        }
        if (!WaitFor(s.fd, POLLIN, deadline))
            return Unreachable("no answer in time");
        const ssize_t n = ::recv(s.fd, buf, sizeof buf, 0);
        if (n > 0)
            pending.append(buf, size_t(n));
        else if (n == 0)
            return Unreachable("the simulator closed the connection");
        else if (errno != EAGAIN && errno != EINTR)
            return Unreachable(std::strerror(errno));
    }
}

} // namespace devsim
