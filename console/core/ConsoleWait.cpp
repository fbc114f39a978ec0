#include "ConsoleWait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

void WaitWithEvents(int ms)
{
    QElapsedTimer t;
    t.start();
    do {
        QCoreApplication::processEvents();
        const qint64 left = ms - t.elapsed();
        if (left > 0)
            QThread::msleep(static_cast<unsigned long>(std::min<qint64>(left, 20)));
    } while (t.elapsed() < ms);
}
