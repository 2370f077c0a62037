#include "systemclock.h"

#include <QDateTime>

namespace kestrin {

SystemClock::SystemClock()
{
    m_started.start();
}

qint64 SystemClock::utcSeconds() const
{
    return QDateTime::currentSecsSinceEpoch();
}

double SystemClock::monotonicSeconds() const
{
    return double(m_started.nsecsElapsed()) / 1e9;
}

} // namespace kestrin
