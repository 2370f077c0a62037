#pragma once

#include "logseries.h"

#include <QList>

#include <optional>

namespace kestrin {

// A sensor's allowed range; either end may be open.
struct Limits
{
    std::optional<double> low, high;

    bool any() const { return low.has_value() || high.has_value(); }
    bool outside(float value) const { return (low && value < *low) || (high && value > *high); }
    // How far outside the range `value` is (0 inside it).
    double distance(float value) const;
};

// A stretch of records outside the allowed range: it starts at the first
// record outside and ends at the first record back inside. A gap ends it at
// the last record before the gap, since nothing is known of the time
// without records; the log's end leaves it open at the newest record.
struct Excursion
{
    enum class End { BackInside, Gap, LogEnd };

    qint64 start = 0, end = 0; // UTC seconds
    int startOffset = 0, endOffset = 0;
    float peak = 0; // the reading furthest outside
    End how = End::BackInside;

    qint64 seconds() const { return end - start; }
};

class ExcursionFinder final
{
public:
    // `gaps` as LogSeries::gaps() gives them, sorted by time.
    static QList<Excursion> find(const LogSeries &series, int sensor, const Limits &limits,
                                 const QList<LogSeries::Gap> &gaps);
};

} // namespace kestrin
