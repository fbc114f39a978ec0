#pragma once

// "Only one of me per site": a lock file in the site folder named after the program's start
// event ("Harvester_Started", "Courier_Started"). Only a dead owner makes the lock stale.

#include <QString>

#include <memory>

class QLockFile;

namespace orvel {

class SingleInstance
{
public:
    explicit SingleInstance(const QString &eventName);
    ~SingleInstance();
    // True when this process now holds the lock; false when another live process does.
    bool TryAcquire();

private:
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace orvel
