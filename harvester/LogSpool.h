#pragma once

// A gate hands each log record over once: the record is gone from the gate as soon as it is
// uploaded. A record the database did not take is therefore kept here, in an append-only file
// in the site folder, synced to disk before the collector goes on, and inserted before any
// newer record once the database takes it again.
//
// File: one line per record, "gate_id<TAB>guser_id<TAB>log_type<TAB>YYYY-MM-DD HH:MM:SS<LF>",
// the gate user ID percent-encoded. A line cut short by a crash is ignored.

#include <QList>
#include <QString>

namespace harvester {

struct SpoolRecord
{
    QString gateId;
    QString guserId;
    int logType = 0;
    QString logDt; // 'YYYY-MM-DD HH:MM:SS'

    bool operator==(const SpoolRecord &) const = default;
};

class LogSpool
{
public:
    explicit LogSpool(QString path);

    QString Path() const { return m_path; }
    // Appends one record and syncs it to disk; false when it could not be made durable.
    bool Append(const SpoolRecord &record);
    // Every complete record, oldest first.
    QList<SpoolRecord> Load() const;
    bool IsEmpty() const;
    // Empties the file once its records are safely in the database.
    bool Clear();

private:
    QString m_path;
};

} // namespace harvester
