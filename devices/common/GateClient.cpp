#include "GateClient.h"

#include "gatelib.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace gateproto {

namespace {
int64_t NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int EnvMs(const char *name, int fallback)
{
    const char *v = std::getenv(name);
    if (!v || !*v)
        return fallback;
    char *end = nullptr;
    long ms = std::strtol(v, &end, 10);
    if (!end || *end || ms <= 0 || ms > 600000)
        return fallback;
    return int(ms);
}

speed_t BaudConstant(int baud)
{
    switch (baud) {
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 230400: return B230400;
    default: return B115200;
    }
}
} // namespace

int GateClient::TimeoutMs() const
{
    return timeoutOverride_ > 0 ? timeoutOverride_ : EnvMs("ORVEL_GATE_TIMEOUT_MS", 3000);
}

int GateClient::ConnectTimeoutMs() const
{
    return EnvMs("ORVEL_GATE_CONNECT_TIMEOUT_MS", TimeoutMs());
}

void GateClient::Close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    session_ = 0;
    decoder_.Clear();
}

int GateClient::ConnectTcp(const char *address, int port)
{
    Close();
    if (!address || port <= 0 || port > 65535)
        return GATE_E_ARGUMENT;
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(uint16_t(port));
    if (inet_pton(AF_INET, address, &sa.sin_addr) != 1)
        return GATE_E_ARGUMENT;
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return GATE_E_IO;
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    int rc = ::connect(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa);
    if (rc < 0 && errno != EINPROGRESS) {
        ::close(fd);
        return GATE_E_CONNECT;
    }
    if (rc < 0) {
        pollfd p{fd, POLLOUT, 0};
        int n;
        do {
            n = ::poll(&p, 1, ConnectTimeoutMs());
        } while (n < 0 && errno == EINTR);
        int err = 0;
        socklen_t len = sizeof err;
        if (n <= 0 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) < 0 || err != 0) {
            ::close(fd);
            return GATE_E_CONNECT;
        }
    }
    fd_ = fd;
    isSocket_ = true;
    static uint32_t sessions = 0;
    session_ = ++sessions ? sessions : ++sessions;
    return GATE_OK;
}

int GateClient::ConnectSerial(const char *device, int baud)
{
    Close();
    if (!device || !*device)
        return GATE_E_ARGUMENT;
    int fd = ::open(device, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return GATE_E_CONNECT;
    termios t{};
    if (::tcgetattr(fd, &t) < 0) {
        ::close(fd);
        return GATE_E_CONNECT;
    }
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    ::cfsetispeed(&t, BaudConstant(baud));
    ::cfsetospeed(&t, BaudConstant(baud));
    if (::tcsetattr(fd, TCSANOW, &t) < 0) {
        ::close(fd);
        return GATE_E_IO;
    }
    ::tcflush(fd, TCIOFLUSH);
    fd_ = fd;
    isSocket_ = false;
    static uint32_t sessions = 0x10000;
    session_ = ++sessions;
    return GATE_OK;
}

int GateClient::Disconnect()
{
    if (fd_ < 0)
        return GATE_E_NOT_CONNECTED;
    Frame f;
    f.kind = kKindRequest;
    f.command = CmdBye;
    f.seq = ++seq_;
    const auto bytes = Encode(f);
    SendAll(bytes.data(), bytes.size(), int(std::min<int64_t>(TimeoutMs(), 500)));
    Close();
    return GATE_OK;
}

int GateClient::Abort()
{
    if (fd_ < 0)
        return GATE_E_NOT_CONNECTED;
    Close();
    return GATE_OK;
}

int GateClient::SendAll(const uint8_t *data, size_t len, int timeoutMs)
{
    const int64_t deadline = NowMs() + timeoutMs;
    size_t done = 0;
    while (done < len) {
        ssize_t n = isSocket_ ? ::send(fd_, data + done, len - done, MSG_NOSIGNAL)
                              : ::write(fd_, data + done, len - done);
        if (n > 0) {
            done += size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            int left = int(deadline - NowMs());
            if (left <= 0)
                return GATE_E_TIMEOUT;
            pollfd p{fd_, POLLOUT, 0};
            ::poll(&p, 1, left);
            continue;
        }
        return (n < 0 && (errno == EPIPE || errno == ECONNRESET)) ? GATE_E_CLOSED : GATE_E_IO;
    }
    return GATE_OK;
}

int GateClient::Call(uint16_t command, const void *request, size_t requestLen, void *answer, size_t answerLen)
{
    if (fd_ < 0)
        return GATE_E_NOT_CONNECTED;
    if (requestLen > kMaxPayload)
        return GATE_E_ARGUMENT;
    Frame req;
    req.kind = kKindRequest;
    req.command = command;
    req.seq = ++seq_;
    if (requestLen)
        req.payload.assign(static_cast<const uint8_t *>(request), static_cast<const uint8_t *>(request) + requestLen);
    const int timeout = TimeoutMs();
    const auto bytes = Encode(req);
    int rc = SendAll(bytes.data(), bytes.size(), timeout);
    if (rc != GATE_OK) {
        Close(); // a frame may have gone out half: the stream is no longer usable
        return rc;
    }
    const int64_t deadline = NowMs() + timeout;
    for (;;) {
        Frame ans;
        std::string why;
        auto r = decoder_.Next(ans, &why);
        if (r == Decoder::Malformed) {
            Close();
            return GATE_E_FRAME;
        }
        if (r == Decoder::Complete) {
            if (ans.kind != kKindAnswer) {
                Close();
                return GATE_E_FRAME;
            }
            if (ans.seq != req.seq)
                continue; // a late answer to an earlier request that timed out: drop it
            if (ans.command != command) {
                Close();
                return GATE_E_SEQUENCE;
            }
            const int status = int(ans.status & 0x7FFFFFFF);
            if (status != GATE_OK)
                return status;
            if (ans.payload.size() != answerLen) {
                Close();
                return GATE_E_FRAME;
            }
            if (answerLen)
                std::memcpy(answer, ans.payload.data(), answerLen);
            return GATE_OK;
        }
        const int left = int(deadline - NowMs());
        if (left <= 0) {
            // Nothing (more) came. If half a frame is buffered the stream is out of step and is
            // dropped; otherwise the connection stays and a late answer is skipped by its seq.
            if (decoder_.HasPartial())
                Close();
            return GATE_E_TIMEOUT;
        }
        pollfd p{fd_, POLLIN, 0};
        int n = ::poll(&p, 1, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            Close();
            return GATE_E_IO;
        }
        if (n == 0)
            continue;
        uint8_t buf[2048];
        ssize_t got = ::read(fd_, buf, sizeof buf);
        if (got > 0) {
            decoder_.Append(buf, size_t(got));
            continue;
        }
        if (got < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
            continue;
        if (got == 0 && !isSocket_) {
            // A tty with no writer on the other side reports end of file: treat as silence.
            if (p.revents & POLLHUP) {
                Close();
                return GATE_E_CLOSED;
            }
            continue;
        }
        Close();
        return GATE_E_CLOSED;
    }
}

} // namespace gateproto
