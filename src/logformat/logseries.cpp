#include "logseries.h"

#include <algorithm>
#include <cmath>

namespace kestrin {

void LogSeries::clear()
{
    *this = LogSeries();
}

void LogSeries::append(const LogBatch &batch)
{
    if (batch.size() == 0)
        return;
    if (m_sensors == 0) {
        m_sensors = batch.readingsPerRecord;
        m_columns.assign(m_sensors, {});
        m_sums.assign(m_sensors, {});
    }
    const bool first = m_times.empty();
    m_times.insert(m_times.end(), batch.times.begin(), batch.times.end());
    m_offsets.insert(m_offsets.end(), batch.offsets.begin(), batch.offsets.end());
    const int n = std::min(m_sensors, batch.readingsPerRecord);
    for (int s = 0; s < n; ++s) {
        std::vector<float> &col = m_columns[s];
        Sums &sums = m_sums[s];
        if (first) {
            sums.minimum = sums.maximum = batch.values[s];
        }
        col.reserve(col.size() + batch.size());
        for (qsizetype i = 0; i < batch.size(); ++i) {
            const float v = batch.values[i * batch.readingsPerRecord + s];
            col.push_back(v);
            sums.minimum = std::min(sums.minimum, v);
            sums.maximum = std::max(sums.maximum, v);
            sums.sum += v;
        }
    }
}

LogSeries::SensorFigures LogSeries::figures(int sensor) const
{
    SensorFigures f;
    const std::vector<float> &col = m_columns.at(sensor);
    if (col.empty())
        return f;
    f.minimum = m_sums[sensor].minimum;
    f.maximum = m_sums[sensor].maximum;
    f.mean = m_sums[sensor].sum / double(col.size());
    f.last = col.back();
    f.records = qint64(col.size());
    return f;
}

qint64 LogSeries::medianPass() const
{
    if (m_times.size() < 2)
        return 0;
    std::vector<qint64> steps(m_times.size() - 1);
    for (std::size_t i = 1; i < m_times.size(); ++i)
        steps[i - 1] = m_times[i] - m_times[i - 1];
    auto mid = steps.begin() + steps.size() / 2;
    std::nth_element(steps.begin(), mid, steps.end());
    return *mid;
}

QList<LogSeries::Gap> LogSeries::gaps() const
{
    QList<Gap> result;
    const qint64 median = medianPass();
    if (median <= 0)
        return result;
    const qint64 limit = GapFactor * median;
    for (std::size_t i = 1; i < m_times.size(); ++i) {
        if (m_times[i] - m_times[i - 1] > limit)
            result.append({m_times[i - 1], m_times[i]});
    }
    return result;
}

QList<LogSeries::FlatRun> LogSeries::flatRuns() const
{
    QList<FlatRun> result;
    for (int s = 0; s < m_sensors; ++s) {
        const std::vector<float> &col = m_columns[s];
        std::size_t start = 0;
        for (std::size_t i = 1; i <= col.size(); ++i) {
            if (i < col.size() && col[i] == col[start])
                continue;
            if (m_times[i - 1] - m_times[start] >= FlatRunSeconds)
                result.append({s, m_times[start], m_times[i - 1], col[start]});
            start = i;
        }
    }
    return result;
}

qsizetype LogSeries::nearest(qint64 utc) const
{
    if (m_times.empty())
        return -1;
    const auto it = std::lower_bound(m_times.begin(), m_times.end(), utc);
    qsizetype i = it - m_times.begin();
    if (i == size())
        return i - 1;
    if (i > 0 && utc - m_times[i - 1] < m_times[i] - utc)
        --i;
    return i;
}

QList<QPointF> LogSeries::reduce(int sensor, double fromMsecs, double toMsecs, int columns) const
{
    QList<QPointF> points;
    const std::vector<float> &col = m_columns.at(sensor);
    if (col.empty() || columns <= 0 || !(toMsecs > fromMsecs))
        return points;
    const qint64 from = qint64(std::floor(fromMsecs / 1000.0));
    const qint64 to = qint64(std::ceil(toMsecs / 1000.0));
    qsizetype begin = std::lower_bound(m_times.begin(), m_times.end(), from) - m_times.begin();
    qsizetype end = std::upper_bound(m_times.begin(), m_times.end(), to) - m_times.begin();
    if (begin > 0)
        --begin;
    if (end < size())
        ++end;
    auto point = [&](qsizetype i) { return QPointF(double(m_times[i]) * 1000.0, col[i]); };
    if (end - begin <= 4 * qsizetype(columns)) {
        points.reserve(end - begin);
        for (qsizetype i = begin; i < end; ++i)
            points.append(point(i));
        return points;
    }
    points.reserve(4 * columns + 2);
    const double width = (toMsecs - fromMsecs) / columns;
    qsizetype i = begin;
    while (i < end) {
        // The records of one pixel column.
        const double x = double(m_times[i]) * 1000.0;
        const double column = std::floor((x - fromMsecs) / width);
        const double columnEnd = fromMsecs + (column + 1) * width;
        qsizetype j = i + 1;
        qsizetype lo = i, hi = i;
        while (j < end && double(m_times[j]) * 1000.0 < columnEnd) {
            if (col[j] < col[lo])
                lo = j;
            if (col[j] > col[hi])
                hi = j;
            ++j;
        }
        points.append(point(i));
        const qsizetype a = std::min(lo, hi), b = std::max(lo, hi);
        if (a != i)
            points.append(point(a));
        if (b != a && b != i)
            points.append(point(b));
        if (j - 1 != b && j - 1 != i)
            points.append(point(j - 1));
        i = j;
    }
    return points;
}

} // namespace kestrin
