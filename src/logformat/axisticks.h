#pragma once

#include <QList>
#include <QLocale>
#include <QString>
#include <QTimeZone>

namespace kestrin {

// Where a chart's ticks go: on round values, as a plotting tool puts them.
// Temperatures step by 0.1, 0.2, 0.5, 1, 2, 5, 10 ... degrees; times by whole
// seconds, minutes, hours, days, weeks, months or years of the local clock,
// whatever the zone's offset (Kolkata's half hour, a change of summer time),
// with labels in the locale's forms that name only what changes from one
// tick to the next.
class AxisTicks final
{
public:
    struct ValueScale
    {
        double from = 0, to = 1, step = 1;
        int decimals = 0; // what a label needs to show the step
    };
    // The smallest round step with at most `maxTicks` steps over [lo, hi],
    // and the range widened to whole steps.
    static ValueScale values(double lo, double hi, int maxTicks);

    struct TimeTick
    {
        double msecs = 0;
        QString label;
    };
    struct TimeScale
    {
        QList<TimeTick> ticks;
        qint64 stepSeconds = 0; // nominal: a month counts 30 days
        QString title;          // the dates the range covers
    };
    static TimeScale times(double fromMsecs, double toMsecs, int maxTicks, const QLocale &locale,
                           const QTimeZone &zone = QTimeZone::systemTimeZone());
};

} // namespace kestrin
