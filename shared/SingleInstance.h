#pragma once

// "Only one of me per site": a lock on a file in the site folder named after the program's start
// event ("Harvester_Started", "Courier_Started"). The lock is the kernel's, held as long as the
// process lives: a process that is killed leaves nothing behind that could keep its successor out.

#include <QString>

namespace orvel {

class SingleInstance
{
public:
    explicit SingleInstance(const QString &eventName);
    ~SingleInstance();
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;
    // True when this process now holds the lock; false when another live process does (or the
    // lock file cannot be opened).
    bool TryAcquire();

private:
    QString m_path;
    int m_fd = -1;
};

} // namespace orvel
