#pragma once

#include <QDate>

namespace kestrin {

// Turns the log's wall-clock times into moments, in the reading machine's
// time zone. Offsets are looked up once per hour of the log, not per record.
//
// In the hour that repeats when summer time ends, a time is first taken in
// summer time; once that would put a record before the one read just
// before it, it is taken in standard time, so the records of that hour keep
// their order. A time that does not exist (the hour skipped in spring) is
// taken with the offset from before the change.
class LocalClock final
{
public:
    struct Moment
    {
        qint64 utc = 0;
        int offset = 0;
    };

    Moment resolve(const QDate &date, int secondsOfDay, qint64 previousUtc);

private:
    void lookUp(qint64 dayNumber, int hour);

    qint64 m_day = -1;
    int m_hour = -1;
    int m_early = 0; // offset of the earlier reading of this hour
    int m_late = 0;  // equal to m_early except in a repeated hour
};

} // namespace kestrin
