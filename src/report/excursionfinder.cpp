#include "excursionfinder.h"

namespace kestrin {

double Limits::distance(float value) const
{
    if (low && value < *low)
        return *low - value;
    if (high && value > *high)
        return value - *high;
    return 0;
}

QList<Excursion> ExcursionFinder::find(const LogSeries &series, int sensor, const Limits &limits,
                                       const QList<LogSeries::Gap> &gaps)
{
    QList<Excursion> found;
    if (!limits.any() || sensor < 0 || sensor >= series.sensors())
        return found;
    const std::vector<qint64> &times = series.times();
    const std::vector<float> &column = series.column(sensor);
    const qsizetype n = series.size();
    qsizetype nextGap = 0;
    bool inside = true;
    Excursion current;
    double furthest = 0;
    auto close = [&](qsizetype at, Excursion::End how) {
        current.end = times[at];
        current.endOffset = series.offsetAt(at);
        current.how = how;
        found.append(current);
        inside = true;
    };
    for (qsizetype i = 0; i < n; ++i) {
        // A gap ends at the record after it.
        bool afterGap = false;
        while (nextGap < gaps.size() && gaps[nextGap].to < times[i])
            ++nextGap;
        if (i > 0 && nextGap < gaps.size() && gaps[nextGap].to == times[i] && gaps[nextGap].from == times[i - 1]) {
            afterGap = true;
            ++nextGap;
        }
        if (!inside && afterGap)
            close(i - 1, Excursion::End::Gap);
        const float v = column[i];
        const bool out = limits.outside(v);
        if (inside && out) {
            inside = false;
            current = Excursion();
            current.start = times[i];
            current.startOffset = series.offsetAt(i);
            current.peak = v;
            furthest = limits.distance(v);
        } else if (!inside && out) {
            const double d = limits.distance(v);
            if (d > furthest) {
                furthest = d;
                current.peak = v;
            }
        } else if (!inside) {
            close(i, Excursion::End::BackInside);
        }
    }
    if (!inside)
        close(n - 1, Excursion::End::LogEnd);
    return found;
}

} // namespace kestrin
