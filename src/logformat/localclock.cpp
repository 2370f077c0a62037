#include "localclock.h"

#include <QDateTime>
#include <QTimeZone>

namespace kestrin {

namespace {

constexpr qint64 UnixEpochJulianDay = 2440588;

qint64 wallSeconds(qint64 julianDay, int secondsOfDay)
{
    return (julianDay - UnixEpochJulianDay) * 86400 + secondsOfDay;
}

} // namespace

void LocalClock::lookUp(qint64 dayNumber, int hour)
{
    m_day = dayNumber;
    m_hour = hour;
    const qint64 wall = wallSeconds(dayNumber, hour * 3600 + 1800);
    // The offsets in force three hours either side bound what this hour can
    // have; where they differ, a change falls near and each is tried.
    const QDateTime before = QDateTime::fromSecsSinceEpoch(wall - 3 * 3600, Qt::UTC).toLocalTime();
    const QDateTime after = QDateTime::fromSecsSinceEpoch(wall + 3 * 3600, Qt::UTC).toLocalTime();
    const int a = before.offsetFromUtc();
    const int b = after.offsetFromUtc();
    if (a == b) {
        m_early = m_late = a;
        return;
    }
    // A candidate offset fits when the moment it gives shows this wall time.
    auto fits = [wall](int offset) {
        const qint64 utc = wall - offset;
        return QDateTime::fromSecsSinceEpoch(utc, Qt::UTC).toLocalTime().offsetFromUtc() == offset;
    };
    const bool fa = fits(a), fb = fits(b);
    if (fa && fb) { // repeated: the larger offset is the earlier moment
        m_early = std::max(a, b);
        m_late = std::min(a, b);
    } else if (fa || fb) {
        m_early = m_late = fa ? a : b;
    } else { // skipped: the offset from before the change
        m_early = m_late = a;
    }
}

LocalClock::Moment LocalClock::resolve(const QDate &date, int secondsOfDay, qint64 previousUtc)
{
    const qint64 day = date.toJulianDay();
    const int hour = secondsOfDay / 3600;
    if (day != m_day || hour != m_hour)
        lookUp(day, hour);
    const qint64 wall = wallSeconds(day, secondsOfDay);
    qint64 utc = wall - m_early;
    if (m_late != m_early && utc < previousUtc)
        return {wall - m_late, m_late};
    return {utc, m_early};
}

} // namespace kestrin
