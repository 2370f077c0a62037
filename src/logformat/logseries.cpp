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
        m_blocks.assign(m_sensors, {});
        m_runStart.assign(m_sensors, 0);
        m_sums.assign(m_sensors, {});
    }
    const bool first = m_times.empty();
    const qsizetype oldSize = size();
    m_times.insert(m_times.end(), batch.times.begin(), batch.times.end());
    m_offsets.insert(m_offsets.end(), batch.offsets.begin(), batch.offsets.end());
    const int n = std::min(m_sensors, batch.readingsPerRecord);
    for (int s = 0; s < n; ++s) {
        std::vector<float> &col = m_columns[s];
        Sums &sums = m_sums[s];
        if (first) {
            sums.minimum = sums.maximum = batch.values[s];
        }
        for (qsizetype i = 0; i < batch.size(); ++i) {
            const float v = batch.values[i * batch.readingsPerRecord + s];
            col.push_back(v);
            sums.minimum = std::min(sums.minimum, v);
            sums.maximum = std::max(sums.maximum, v);
            sums.sum += v;
        }
    }
    updateBlocks(oldSize);
    for (qsizetype i = std::max<qsizetype>(1, oldSize); i < size(); ++i)
        m_steps[m_times[i] - m_times[i - 1]].push_back(i);
    for (int s = 0; s < m_sensors; ++s) {
        const std::vector<float> &col = m_columns[s];
        qsizetype &start = m_runStart[s];
        for (qsizetype i = std::max<qsizetype>(1, oldSize); i < size(); ++i) {
            if (col[i] == col[start])
                continue;
            if (m_times[i - 1] - m_times[start] >= FlatRunSeconds)
                m_finishedRuns.append({s, m_times[start], m_times[i - 1], col[start]});
            start = i;
        }
    }
}

void LogSeries::updateBlocks(qsizetype from)
{
    const qsizetype firstBlock = from / BlockSize;
    const qsizetype blocks = (size() + BlockSize - 1) / BlockSize;
    for (int s = 0; s < m_sensors; ++s) {
        const std::vector<float> &col = m_columns[s];
        std::vector<Block> &b = m_blocks[s];
        b.resize(blocks);
        for (qsizetype k = firstBlock; k < blocks; ++k) {
            const qsizetype begin = k * BlockSize, end = std::min(size(), begin + BlockSize);
            qsizetype lo = begin, hi = begin;
            for (qsizetype i = begin + 1; i < end; ++i) {
                if (col[i] < col[lo])
                    lo = i;
                if (col[i] > col[hi])
                    hi = i;
            }
            b[k] = {quint32(lo), quint32(hi)};
        }
    }
}

void LogSeries::extremes(int sensor, qsizetype begin, qsizetype end, qsizetype &low, qsizetype &high) const
{
    const std::vector<float> &col = m_columns[sensor];
    low = high = begin;
    auto take = [&](qsizetype lo, qsizetype hi) {
        if (col[lo] < col[low])
            low = lo;
        if (col[hi] > col[high])
            high = hi;
    };
    qsizetype i = begin;
    for (; i < end && i % BlockSize != 0; ++i)
        take(i, i);
    const std::vector<Block> &blocks = m_blocks[sensor];
    for (; i + BlockSize <= end; i += BlockSize) {
        const Block &b = blocks[i / BlockSize];
        take(b.low, b.high);
    }
    for (; i < end; ++i)
        take(i, i);
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
    const std::size_t middle = (m_times.size() - 1) / 2;
    std::size_t seen = 0;
    for (const auto &[length, where] : m_steps) {
        seen += where.size();
        if (seen > middle)
            return length;
    }
    return 0;
}

QList<LogSeries::Gap> LogSeries::gaps() const
{
    QList<Gap> result;
    const qint64 median = medianPass();
    if (median <= 0)
        return result;
    for (auto it = m_steps.upper_bound(GapFactor * median); it != m_steps.end(); ++it)
        for (qint64 i : it->second)
            result.append({m_times[i - 1], m_times[i]});
    std::sort(result.begin(), result.end(), [](const Gap &a, const Gap &b) { return a.from < b.from; });
    return result;
}

QList<LogSeries::FlatRun> LogSeries::flatRuns() const
{
    QList<FlatRun> result = m_finishedRuns;
    for (int s = 0; s < m_sensors; ++s) {
        const qsizetype start = m_runStart[s];
        if (!m_times.empty() && m_times.back() - m_times[start] >= FlatRunSeconds)
            result.append({s, m_times[start], m_times.back(), m_columns[s][start], true});
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
    if (end - begin <= 2 * qsizetype(columns)) {
        points.reserve(end - begin);
        for (qsizetype i = begin; i < end; ++i)
            points.append(point(i));
        return points;
    }
    points.reserve(2 * columns + 4);
    points.append(point(begin));
    const double width = (toMsecs - fromMsecs) / columns;
    qsizetype i = begin + 1;
    const qsizetype stop = end - 1;
    for (int c = 0; c < columns && i < stop; ++c) {
        // The records of pixel column c.
        const qint64 columnEnd = qint64(std::ceil((fromMsecs + (c + 1) * width) / 1000.0));
        const qsizetype j = std::max(i, qsizetype(std::lower_bound(m_times.begin() + i, m_times.begin() + stop, columnEnd)
                                                  - m_times.begin()));
        if (j == i)
            continue;
        qsizetype lo = i, hi = i;
        extremes(sensor, i, j, lo, hi);
        points.append(point(std::min(lo, hi)));
        if (lo != hi)
            points.append(point(std::max(lo, hi)));
        i = j;
    }
    if (i < stop) {
        qsizetype lo = i, hi = i;
        extremes(sensor, i, stop, lo, hi);
        points.append(point(std::min(lo, hi)));
        if (lo != hi)
            points.append(point(std::max(lo, hi)));
    }
    points.append(point(stop));
    return points;
}

} // namespace kestrin
