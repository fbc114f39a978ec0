#pragma once

// The gate access lock file: an array of 8-byte little-endian records, one per
// gate, at byte offset 8 x G (G = the gate ID read as a decimal number); no header.
//   offset 0, int32: gate number; offset 4, int16: lock flag (1 held, 0 free);
//   offset 6, int16: holder (3 console, 1 log collector, 0 nobody).
// A record never written (all zeros, or beyond the end of the file) counts as free.
//
// Every operation is one open - lock record - read - decide - write - unlock - close. The record
// range is held with an open-file-description record lock (fcntl F_OFD_SETLKW; F_SETLKW where
// that is missing), so a read-modify-write is atomic across processes and across threads.
// The file name comes from the caller (F_GATELOCK of Orvel.ini, resolved by the caller).

#include <QString>

#include <cstdint>
#include <functional>

namespace orvel {

namespace lockholder {
inline constexpr int16_t Nobody = 0;
inline constexpr int16_t Collector = 1; // log collector Harvester1
inline constexpr int16_t Console = 3;   // console Orvel
} // namespace lockholder

struct GateLockRecord {
    int32_t gateNumber = 0;
    int16_t lockFlag = 0;
    int16_t holder = 0;
    bool operator==(const GateLockRecord &) const = default;
};

inline constexpr int kGateLockRecordSize = 8;

// The gate ID ("00003") as a record number; -1 when it is not a decimal number 0..99999.
int GateNumberOf(const QString &gateId);

class GateLockFile {
public:
    explicit GateLockFile(QString path) : path_(std::move(path)) {}
    const QString &path() const { return path_; }

    // Atomic read-modify-write of gate G's record. decide() sees the record as stored (zeros
    // when never written) and returns true to have it written back as changed. Returns false on
    // any file error (decide is then not called, or its change is not stored).
    bool Update(int gateNumber, const std::function<bool(GateLockRecord &)> &decide) const;

    // Reads gate G's record under a shared record lock. A missing file reads as zeros.
    bool Read(int gateNumber, GateLockRecord *out) const;

    static void Encode(const GateLockRecord &r, unsigned char bytes[kGateLockRecordSize]);
    static GateLockRecord Decode(const unsigned char bytes[kGateLockRecordSize]);

private:
    QString path_;
};

} // namespace orvel
