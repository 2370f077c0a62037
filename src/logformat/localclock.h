#pragma once

#include <QDate>
#include <QTimeZone>

namespace kestrin {

// Turns the log's wall-clock times into moments, by the rules of one time
// zone (the reading machine's unless another is given). The offsets a wall
// time can have come from the zone's own transitions, so zones far from UTC
// and changes of any size (30 minutes on Lord Howe, 45-minute offsets on the
// Chathams) come out right.
//
// In the hour that repeats when summer time ends, a time is first taken in
// summer time; once that would put a record before the one read just
// before it, it is taken in standard time, so the records of that hour keep
// their order. A time that does not exist (the hour skipped in spring) is
// taken with the offset from before the change.
//
// Each lookup answers a whole stretch of wall times with the same offsets,
// so a year of records costs a few hundred lookups, not one per record.
class LocalClock final
{
public:
    struct Moment
    {
        qint64 utc = 0;
        int offset = 0; // seconds east of UTC
    };

    LocalClock();
    explicit LocalClock(const QTimeZone &zone);

    // `wall` counts seconds from 1970-01-01 00:00 on the zone's wall clock.
    Moment resolve(qint64 wall, qint64 previousUtc);
    Moment resolve(const QDate &date, int secondsOfDay, qint64 previousUtc)
    {
        return resolve(wallSeconds(date, secondsOfDay), previousUtc);
    }

    static qint64 wallSeconds(const QDate &date, int secondsOfDay);

private:
    void lookUp(qint64 wall);

    QTimeZone m_zone;
    // Wall times in [m_from, m_to) have these offsets; m_early and m_late
    // differ only in a repeated stretch.
    qint64 m_from = 0, m_to = 0;
    int m_early = 0, m_late = 0;
};

} // namespace kestrin
