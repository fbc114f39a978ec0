#pragma once

// A gate keeps a log record until the collector acknowledges it, and the collector acknowledges
// only what it holds safely. A record the database did not take is kept here, in an append-only
// file in the site folder, synced to disk before it is acknowledged, and stored before any
// newer record once the database takes it again; the gate can then give up its memory.
//
// File: one line per record, "gate_id<TAB>guser_id<TAB>log_type<TAB>YYYY-MM-DD HH:MM:SS<TAB>
// seq<TAB>epoch<LF>", the gate user ID percent-encoded. Lines written before records had an
// identity lack the last two fields. A line cut short by a crash is ignored.

#include <QList>
#include <QString>

namespace harvester {

struct SpoolRecord
{
    QString gateId;
    QString guserId;
    int logType = 0;
    QString logDt; // 'YYYY-MM-DD HH:MM:SS'
    // The record's identity at its gate; seq 0 = unknown (stored without the duplicate check).
    qint64 seq = 0;
    quint32 epoch = 0;

    bool operator==(const SpoolRecord &) const = default;
};

class LogSpool
{
public:
    explicit LogSpool(QString path);

    QString Path() const { return m_path; }
    // Appends records and syncs them to disk; false when they could not be made durable.
    bool Append(const QList<SpoolRecord> &records);
    bool Append(const SpoolRecord &record) { return Append(QList<SpoolRecord>{record}); }
    // Every complete record, oldest first.
    QList<SpoolRecord> Load() const;
    bool IsEmpty() const;
    // Empties the file once its records are safely in the database.
    bool Clear();

private:
    QString m_path;
};

} // namespace harvester
