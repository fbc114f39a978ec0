#pragma once

// What the collector tests share: a site with gates that point at a gatesim process, the
// collector's own short-timeout connection, and the service control row as the console posts it.

#include <QString>

#include <string>

namespace testsupport {
class SimProcess;
}

namespace orvel {
class ServiceDb;
namespace test {
class TestSite;
}
} // namespace orvel

namespace harvester::test {

// Inserts gate gateId (in use, not deleted) with its lock_gate row.
void AddGate(orvel::test::TestSite &site, const QString &gateId, const QString &ip, int port, int gateMode = 1,
             const QString &name = QString());
// Adds every gate of the simulator ("00001", ...) to the site.
void AddSimGates(orvel::test::TestSite &site, testsupport::SimProcess &sim, int count);
void AddUser(orvel::test::TestSite &site, const QString &userId, const QString &name, const QString &guserId,
             int gauthType = 2);
// Opens db on telmar_mdb with a short busy time-out, so a locked database fails fast.
bool OpenShort(orvel::ServiceDb &db);
// Another program takes the log tables for itself (the whole database on SQLite), so that every
// write of a collector opened with OpenShort fails after its short wait; and gives them back.
bool LockLogTables(orvel::ServiceDb &locker);
bool UnlockLogTables(orvel::ServiceDb &locker);
// Posts a request to the collector's control row as the console does.
void Post(orvel::test::TestSite &site, int cmd);
// Waits (polling the row) for the answer; false if none came before the deadline.
bool WaitAnswer(orvel::test::TestSite &site, int deadlineMs = 20000);
int Count(orvel::test::TestSite &site, const QString &sql);
// A gatesim control line that must succeed.
void Sim(testsupport::SimProcess &sim, const std::string &line);
// Records of a gate that reached the database (raw copy or still waiting in log_telmar).
int Collected(orvel::test::TestSite &site, const QString &gateId);
QString ReadFileText(const QString &path); // Shift_JIS file as text

} // namespace harvester::test
