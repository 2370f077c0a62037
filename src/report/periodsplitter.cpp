#include "periodsplitter.h"

#include <QDateTime>

#include <algorithm>
#include <limits>

namespace kestrin {

namespace {

// No zone is further than this from UTC (Kiribati is at +14 h).
constexpr qint64 WidestOffset = 15 * 3600;

QDateTime utcMoment(qint64 utc)
{
    return QDateTime::fromSecsSinceEpoch(utc, Qt::UTC);
}

} // namespace

PeriodSplitter::PeriodSplitter(const QTimeZone &zone, Qt::DayOfWeek firstDayOfWeek)
    : m_zone(zone)
    , m_firstDay(firstDayOfWeek)
{
}

std::optional<PeriodKind> PeriodSplitter::kindFromName(QStringView name)
{
    if (name == u"day")
        return PeriodKind::Day;
    if (name == u"week")
        return PeriodKind::Week;
    if (name == u"month")
        return PeriodKind::Month;
    return std::nullopt;
}

int PeriodSplitter::offsetAt(qint64 utc) const
{
    return m_zone.offsetFromUtc(utcMoment(utc));
}

QDate PeriodSplitter::localDate(qint64 utc) const
{
    return utcMoment(utc + offsetAt(utc)).date();
}

qint64 PeriodSplitter::startOfDay(QDate date) const
{
    // The earliest moment u whose wall time u + offset(u) reaches midnight.
    // Between transitions the wall time runs with u, so each stretch of one
    // offset has its own candidate; a midnight inside a skipped hour is
    // first reached when the clock jumps.
    const qint64 midnight = QDateTime(date, QTime(0, 0), Qt::UTC).toSecsSinceEpoch();
    const qint64 from = midnight - WidestOffset, to = midnight + WidestOffset;
    struct Stretch
    {
        qint64 start;
        int offset;
    };
    QList<Stretch> stretches{{from, offsetAt(from)}};
    const QTimeZone::OffsetDataList changes = m_zone.transitions(utcMoment(from + 1), utcMoment(to));
    for (const QTimeZone::OffsetData &change : changes)
        stretches.append({change.atUtc.toSecsSinceEpoch(), change.offsetFromUtc});
    qint64 best = std::numeric_limits<qint64>::max();
    for (qsizetype i = 0; i < stretches.size(); ++i) {
        const qint64 end = i + 1 < stretches.size() ? stretches[i + 1].start : to;
        const qint64 candidate = std::max(stretches[i].start, midnight - stretches[i].offset);
        if (candidate < end)
            best = std::min(best, candidate);
    }
    return best;
}

QList<Period> PeriodSplitter::split(PeriodKind kind, QDate from, QDate to) const
{
    QList<Period> periods;
    if (!from.isValid() || !to.isValid() || from > to)
        return periods;
    QDate begin = from;
    if (kind == PeriodKind::Week)
        begin = from.addDays(-((from.dayOfWeek() - int(m_firstDay) + 7) % 7));
    else if (kind == PeriodKind::Month)
        begin = QDate(from.year(), from.month(), 1);
    qint64 start = startOfDay(std::max(begin, from));
    while (begin <= to) {
        QDate next = begin.addDays(1);
        if (kind == PeriodKind::Week)
            next = begin.addDays(7);
        else if (kind == PeriodKind::Month)
            next = begin.addMonths(1);
        const QDate last = std::min(next.addDays(-1), to);
        const qint64 end = startOfDay(last.addDays(1));
        periods.append({std::max(begin, from), last, start, end});
        start = end;
        begin = next;
    }
    return periods;
}

} // namespace kestrin
