#include "axisticks.h"

#include "localclock.h"
#include "localeformats.h"

#include <QDateTime>

#include <cmath>
#include <limits>

namespace kestrin {

namespace {

constexpr qint64 Minute = 60, Hour = 3600, Day = 86400;

enum class Unit { Seconds, Days, Weeks, Months, Years };
struct Step
{
    Unit unit;
    qint64 count;   // of seconds, days, weeks, months or years
    qint64 nominal; // seconds
};

const Step timeSteps[] = {
    {Unit::Seconds, 1, 1},
    {Unit::Seconds, 2, 2},
    {Unit::Seconds, 5, 5},
    {Unit::Seconds, 10, 10},
    {Unit::Seconds, 15, 15},
    {Unit::Seconds, 30, 30},
    {Unit::Seconds, Minute, Minute},
    {Unit::Seconds, 2 * Minute, 2 * Minute},
    {Unit::Seconds, 5 * Minute, 5 * Minute},
    {Unit::Seconds, 10 * Minute, 10 * Minute},
    {Unit::Seconds, 15 * Minute, 15 * Minute},
    {Unit::Seconds, 30 * Minute, 30 * Minute},
    {Unit::Seconds, Hour, Hour},
    {Unit::Seconds, 2 * Hour, 2 * Hour},
    {Unit::Seconds, 3 * Hour, 3 * Hour},
    {Unit::Seconds, 6 * Hour, 6 * Hour},
    {Unit::Seconds, 12 * Hour, 12 * Hour},
    {Unit::Days, 1, Day},
    {Unit::Days, 2, 2 * Day},
    {Unit::Weeks, 1, 7 * Day},
    {Unit::Weeks, 2, 14 * Day},
    {Unit::Months, 1, 30 * Day},
    {Unit::Months, 3, 91 * Day},
    {Unit::Months, 6, 182 * Day},
    {Unit::Years, 1, 365 * Day},
};

constexpr qint64 UnixEpochJulianDay = 2440588;

QDate dateOfWall(qint64 wall)
{
    return QDate::fromJulianDay(qint64(std::floor(double(wall) / Day)) + UnixEpochJulianDay);
}

qint64 wallOf(const QDate &date)
{
    return (date.toJulianDay() - UnixEpochJulianDay) * Day;
}

} // namespace

AxisTicks::ValueScale AxisTicks::values(double lo, double hi, int maxTicks)
{
    if (!(hi > lo)) {
        lo -= 0.5;
        hi += 0.5;
    }
    maxTicks = std::max(1, maxTicks);
    ValueScale scale;
    for (int exponent = -1; exponent < 8; ++exponent) {
        for (double mantissa : {1.0, 2.0, 5.0}) {
            const double step = mantissa * std::pow(10.0, exponent);
            const double from = std::floor(lo / step + 1e-9) * step;
            const double to = std::ceil(hi / step - 1e-9) * step;
            if ((to - from) / step <= maxTicks + 1e-9) {
                scale.from = from;
                scale.to = to;
                scale.step = step;
                scale.decimals = exponent < 0 ? -exponent : 0;
                return scale;
            }
        }
    }
    scale.from = lo;
    scale.to = hi;
    scale.step = hi - lo;
    return scale;
}

AxisTicks::TimeScale AxisTicks::times(double fromMsecs, double toMsecs, int maxTicks, const QLocale &locale,
                                      const QTimeZone &zone)
{
    TimeScale scale;
    if (!(toMsecs > fromMsecs))
        return scale;
    maxTicks = std::max(1, maxTicks);
    const double span = (toMsecs - fromMsecs) / 1000.0;
    const Step *step = &timeSteps[std::size(timeSteps) - 1];
    for (const Step &s : timeSteps) {
        if (span / double(s.nominal) <= maxTicks) {
            step = &s;
            break;
        }
    }
    scale.stepSeconds = step->nominal;

    LocalClock clock(zone);
    const qint64 from = qint64(std::floor(fromMsecs / 1000.0));
    const qint64 to = qint64(std::ceil(toMsecs / 1000.0));
    const int fromOffset = zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(from, Qt::UTC));
    const int toOffset = zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(to, Qt::UTC));
    const QDate firstDate = dateOfWall(from + fromOffset), lastDate = dateOfWall(to + toOffset);

    // The walls of the ticks, from a round one at or before the start.
    QList<qint64> walls;
    const qint64 wallFrom = from + fromOffset, wallTo = to + toOffset;
    switch (step->unit) {
    case Unit::Seconds: {
        qint64 w = qint64(std::floor(double(wallFrom) / double(step->count))) * step->count;
        for (; w <= wallTo; w += step->count)
            walls.append(w);
        break;
    }
    case Unit::Days:
    case Unit::Weeks: {
        QDate d = firstDate;
        if (step->unit == Unit::Weeks) {
            const int back = (d.dayOfWeek() - int(locale.firstDayOfWeek()) + 7) % 7;
            d = d.addDays(-back);
        } else if (step->count > 1) {
            d = d.addDays(-(d.toJulianDay() % step->count));
        }
        const qint64 days = step->unit == Unit::Weeks ? 7 * step->count : step->count;
        for (; d <= lastDate.addDays(1); d = d.addDays(days))
            walls.append(wallOf(d));
        break;
    }
    case Unit::Months:
    case Unit::Years: {
        const int months = step->unit == Unit::Years ? 12 * int(step->count) : int(step->count);
        int index = firstDate.year() * 12 + firstDate.month() - 1;
        index -= index % months;
        for (;; index += months) {
            const QDate d(index / 12, index % 12 + 1, 1);
            if (d > lastDate.addDays(1))
                break;
            walls.append(wallOf(d));
        }
        break;
    }
    }

    const bool manyYears = firstDate.year() != lastDate.year();
    const QString dayFormat = manyYears ? LocaleFormats::shortDateFourDigitYear(locale) : LocaleFormats::monthAndDay(locale);
    const QString clockFormat = step->nominal < Minute ? LocaleFormats::timeWithSeconds(locale)
                                                       : LocaleFormats::hoursAndMinutes(locale);
    qint64 previous = std::numeric_limits<qint64>::min();
    for (qint64 wall : std::as_const(walls)) {
        const LocalClock::Moment m = clock.resolve(wall, previous);
        // A wall time skipped in spring comes out as the moment after the
        // change: the same tick twice would say nothing.
        if (m.utc <= previous)
            continue;
        previous = m.utc;
        if (m.utc < from || m.utc > to)
            continue;
        const QDateTime shown = QDateTime::fromSecsSinceEpoch(wall, Qt::UTC);
        QString label;
        if (step->unit == Unit::Months || step->unit == Unit::Years)
            label = locale.toString(shown.date(), step->unit == Unit::Years ? QStringLiteral("yyyy") : QStringLiteral("MMM yyyy"));
        else if (wall % Day == 0)
            label = locale.toString(shown.date(), dayFormat);
        else
            label = locale.toString(shown.time(), clockFormat);
        scale.ticks.append({double(m.utc) * 1000.0, label});
    }
    const QString dateFormat = LocaleFormats::shortDateFourDigitYear(locale);
    scale.title = firstDate == lastDate ? locale.toString(firstDate, dateFormat)
                                        : locale.toString(firstDate, dateFormat) + QStringLiteral(" \u2013 ")
            + locale.toString(lastDate, dateFormat);
    return scale;
}

} // namespace kestrin
