#include "BusyCursor.h"

#include <QCursor>
#include <QGuiApplication>

BusyCursor::BusyCursor()
{
    m_on = qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr;
    if (m_on)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyCursor::~BusyCursor()
{
    if (m_on)
        QGuiApplication::restoreOverrideCursor();
}
