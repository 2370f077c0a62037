#include "localclock.h"

#include <QDateTime>

#include <algorithm>
#include <vector>

namespace kestrin {

namespace {

constexpr qint64 UnixEpochJulianDay = 2440588;
constexpr qint64 Day = 86400;

QDateTime instant(qint64 utc)
{
    return QDateTime::fromSecsSinceEpoch(utc, Qt::UTC);
}

// A stretch of moments [from, to) with one offset.
struct Span
{
    qint64 from, to;
    int offset;
    qint64 wallFrom() const { return from + offset; }
    qint64 wallTo() const { return to + offset; }
};

} // namespace

LocalClock::LocalClock()
    : LocalClock(QTimeZone::systemTimeZone())
{
}

LocalClock::LocalClock(const QTimeZone &zone)
    : m_zone(zone.isValid() ? zone : QTimeZone::utc())
{
}

qint64 LocalClock::wallSeconds(const QDate &date, int secondsOfDay)
{
    return (date.toJulianDay() - UnixEpochJulianDay) * Day + secondsOfDay;
}

void LocalClock::lookUp(qint64 wall)
{
    // No offset is a day or more away from UTC, so the moments that can show
    // this wall time lie within a day of it; two days either side hold every
    // transition that matters.
    const qint64 lo = wall - 2 * Day, hi = wall + 2 * Day;
    std::vector<Span> spans;
    int offset = m_zone.offsetFromUtc(instant(lo));
    qint64 from = lo;
    for (const QTimeZone::OffsetData &t : m_zone.transitions(instant(lo + 1), instant(hi - 1))) {
        const qint64 at = t.atUtc.toSecsSinceEpoch();
        // Some transitions change only the abbreviation or the DST flag.
        if (at <= from || t.offsetFromUtc == offset)
            continue;
        spans.push_back({from, at, offset});
        from = at;
        offset = t.offsetFromUtc;
    }
    spans.push_back({from, hi, offset});

    // The wall times a lookup may answer for: those all of whose moments lie
    // inside [lo, hi).
    qint64 first = wall - Day, last = wall + Day;
    std::vector<std::size_t> fits;
    for (std::size_t i = 0; i < spans.size(); ++i)
        if (spans[i].wallFrom() <= wall && wall < spans[i].wallTo())
            fits.push_back(i);
    if (fits.size() == 1) {
        const std::size_t i = fits.front();
        first = std::max(first, spans[i].wallFrom());
        last = std::min(last, spans[i].wallTo());
        // Where a neighbour's wall times overlap this span's, they repeat.
        if (i > 0)
            first = std::max(first, spans[i - 1].wallTo());
        if (i + 1 < spans.size())
            last = std::min(last, spans[i + 1].wallFrom());
        m_early = m_late = spans[i].offset;
    } else if (fits.size() > 1) {
        // Repeated: the first moment that shows it has the larger offset.
        const Span &a = spans[fits.front()], &b = spans[fits.back()];
        first = std::max({first, a.wallFrom(), b.wallFrom()});
        last = std::min({last, a.wallTo(), b.wallTo()});
        m_early = a.offset;
        m_late = b.offset;
    } else {
        // Skipped: between the end of one span's wall times and the start of
        // the next's. The offset from before the change holds.
        std::size_t j = 1;
        while (j < spans.size() && spans[j].wallFrom() <= wall)
            ++j;
        if (j >= spans.size()) // cannot happen with a day's margin; stay sane
            j = spans.size() - 1;
        if (j > 0) {
            first = std::max(first, spans[j - 1].wallTo());
            m_early = m_late = spans[j - 1].offset;
        } else {
            m_early = m_late = spans[0].offset;
        }
        last = std::min(last, spans[j].wallFrom());
    }
    m_from = std::min(first, wall);
    m_to = std::max(last, wall + 1);
}

LocalClock::Moment LocalClock::resolve(qint64 wall, qint64 previousUtc)
{
    if (wall < m_from || wall >= m_to)
        lookUp(wall);
    const qint64 utc = wall - m_early;
    if (m_late != m_early && utc < previousUtc)
        return {wall - m_late, m_late};
    return {utc, m_early};
}

} // namespace kestrin
