#include "GateLockFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace orvel {

namespace {

#ifdef F_OFD_SETLKW
constexpr int kLockWait = F_OFD_SETLKW;
#else
constexpr int kLockWait = F_SETLKW;
#endif

bool LockRange(int fd, short type, off_t offset)
{
    struct flock fl;
    std::memset(&fl, 0, sizeof fl);
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = offset;
    fl.l_len = kGateLockRecordSize;
    fl.l_pid = 0; // required 0 for OFD locks
    for (;;) {
        if (::fcntl(fd, kLockWait, &fl) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

bool ReadRecord(int fd, off_t offset, unsigned char bytes[kGateLockRecordSize])
{
    std::memset(bytes, 0, kGateLockRecordSize);
    size_t done = 0;
    while (done < size_t(kGateLockRecordSize)) {
        const ssize_t n = ::pread(fd, bytes + done, kGateLockRecordSize - done, offset + off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break; // beyond the end of the file: the rest reads as zeros
        done += size_t(n);
    }
    return true;
}

} // namespace

int GateNumberOf(const QString &gateId)
{
    const QString t = gateId.trimmed();
    if (t.isEmpty() || t.size() > 5)
        return -1;
    for (const QChar c : t)
        if (c < u'0' || c > u'9')
            return -1;
    return t.toInt();
}

void GateLockFile::Encode(const GateLockRecord &r, unsigned char b[kGateLockRecordSize])
{
    const uint32_t g = uint32_t(r.gateNumber);
    const uint16_t f = uint16_t(r.lockFlag), h = uint16_t(r.holder);
    b[0] = uint8_t(g);
    b[1] = uint8_t(g >> 8);
    b[2] = uint8_t(g >> 16);
    b[3] = uint8_t(g >> 24);
    b[4] = uint8_t(f);
    b[5] = uint8_t(f >> 8);
    b[6] = uint8_t(h);
    b[7] = uint8_t(h >> 8);
}

GateLockRecord GateLockFile::Decode(const unsigned char b[kGateLockRecordSize])
{
    GateLockRecord r;
    r.gateNumber = int32_t(uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24));
    r.lockFlag = int16_t(uint16_t(b[4] | (b[5] << 8)));
    r.holder = int16_t(uint16_t(b[6] | (b[7] << 8)));
    return r;
}

bool GateLockFile::Update(int gateNumber, const std::function<bool(GateLockRecord &)> &decide) const
{
    if (gateNumber < 0 || path_.isEmpty())
        return false;
    const QByteArray name = QFile::encodeName(path_);
    const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    const off_t offset = off_t(gateNumber) * kGateLockRecordSize;
    bool ok = LockRange(fd, F_WRLCK, offset);
    unsigned char bytes[kGateLockRecordSize];
    if (ok)
        ok = ReadRecord(fd, offset, bytes);
    if (ok) {
        GateLockRecord rec = Decode(bytes);
        if (decide(rec)) {
            Encode(rec, bytes);
            ssize_t n;
            do {
                n = ::pwrite(fd, bytes, kGateLockRecordSize, offset);
            } while (n < 0 && errno == EINTR);
            ok = n == kGateLockRecordSize;
        }
    }
    ::close(fd); // releases the record lock
    return ok;
}

bool GateLockFile::Read(int gateNumber, GateLockRecord *out) const
{
    *out = GateLockRecord{};
    if (gateNumber < 0 || path_.isEmpty())
        return false;
    const QByteArray name = QFile::encodeName(path_);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT; // no file yet: every record is free
    const off_t offset = off_t(gateNumber) * kGateLockRecordSize;
    unsigned char bytes[kGateLockRecordSize];
    const bool ok = LockRange(fd, F_RDLCK, offset) && ReadRecord(fd, offset, bytes);
    ::close(fd);
    if (ok)
        *out = Decode(bytes);
    return ok;
}

} // namespace orvel
