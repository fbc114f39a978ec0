#pragma once

// Wake-ups between the programs of a site. A program that waits for another's work (the
// provisioning service for a new request, the console for its result) listens on a channel, and
// the other program wakes it as soon as it has written to the database, instead of the waiter
// finding out on its next poll. A wake-up carries nothing: the database holds what happened, and
// every waiter still polls on its own interval, so a wake-up that nobody hears costs nothing.
//
// Here a wake-up is a datagram on a local socket named after the site folder and the channel
// (Linux abstract names: no file to leave behind). Several PCs writing to one PostgreSQL database
// would carry the same through LISTEN/NOTIFY.

#include <QObject>
#include <QString>

class QSocketNotifier;

namespace orvel {

// Channels of the system.
inline constexpr const char *kWakeUserRequest = "userreq";      // console → provisioning service
inline constexpr const char *kWakeUserRequestDone = "userreq-done"; // provisioning service → console

class WakeListener : public QObject
{
    Q_OBJECT
public:
    // Listens on the channel of this site. Without success (another program of the site listens
    // already) it never wakes, and its owner relies on its polling alone.
    explicit WakeListener(const QString &channel, QObject *parent = nullptr);
    ~WakeListener() override;

    bool IsListening() const { return m_fd >= 0; }
    // True once a wake-up has come since the last call (it also drains the ones waiting).
    bool TakeWoken();
    // Runs the event loop until a wake-up comes or ms have passed; true when woken.
    bool Wait(int ms);

signals:
    void Woken();

private:
    void Drain();
    int m_fd = -1;
    bool m_woken = false;
    QSocketNotifier *m_notifier = nullptr;
};

// Wakes whoever listens on the channel of this site; nothing when nobody does.
void Wake(const QString &channel);

// Whether a program listens on the channel of this site. Asks without taking the channel, so
// that asking never keeps the listener from taking it.
bool HasWakeListener(const QString &channel);

} // namespace orvel
