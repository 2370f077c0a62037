#include "logseries.h"

#include <algorithm>
#include <cmath>

namespace kestrin {

void LogSeries::clear()
{
    *this = LogSeries();
}

template<typename T>
void LogSeries::grow(std::vector<T> &v, std::size_t needed)
{
    // An eighth more at a time: doubling a column of millions of floats
    // would leave half of it empty, and a year's log has eleven of them.
    if (v.capacity() < needed)
        v.reserve(std::max(needed, needed + needed / 8 + 4096));
}

void LogSeries::reserve(qsizetype records)
{
    if (records <= size())
        return;
    m_times.reserve(std::size_t(records));
    for (std::vector<float> &col : m_columns)
        col.reserve(std::size_t(records));
}

int LogSeries::offsetAt(qsizetype i) const
{
    const auto it = std::upper_bound(m_offsets.begin(), m_offsets.end(), i,
                                     [](qsizetype index, const auto &run) { return index < run.first; });
    return it == m_offsets.begin() ? 0 : std::prev(it)->second;
}

bool LogSeries::append(const LogBatch &batch)
{
    if (batch.size() == 0)
        return true;
    if (m_sensors != 0 && batch.readingsPerRecord != m_sensors)
        return false;
    if (m_sensors == 0) {
        m_sensors = batch.readingsPerRecord;
        const std::size_t reserved = m_times.capacity();
        m_columns.assign(m_sensors, {});
        for (std::vector<float> &col : m_columns)
            col.reserve(reserved);
        m_blocks.assign(m_sensors, {});
        m_bigBlocks.assign(m_sensors, {});
        m_runStart.assign(m_sensors, 0);
        m_sums.assign(m_sensors, {});
    }
    const bool first = m_times.empty();
    const qsizetype oldSize = size();
    const std::size_t newSize = std::size_t(oldSize + batch.size());
    grow(m_times, newSize);
    m_times.insert(m_times.end(), batch.times.begin(), batch.times.end());
    for (qsizetype i = 0; i < batch.size(); ++i)
        if (m_offsets.empty() || m_offsets.back().second != batch.offsets[i])
            m_offsets.emplace_back(oldSize + i, batch.offsets[i]);
    const int n = m_sensors;
    for (int s = 0; s < n; ++s) {
        std::vector<float> &col = m_columns[s];
        grow(col, newSize);
        Sums &sums = m_sums[s];
        if (first)
            sums.minimum = sums.maximum = batch.values[s];
        const float *v = batch.values.data() + s;
        for (qsizetype i = 0; i < batch.size(); ++i, v += n) {
            col.push_back(*v);
            sums.minimum = std::min(sums.minimum, *v);
            sums.maximum = std::max(sums.maximum, *v);
            sums.sum += *v;
        }
    }
    updateBlocks(oldSize);
    for (qsizetype i = std::max<qsizetype>(1, oldSize); i < size(); ++i)
        ++m_steps[m_times[i] - m_times[i - 1]];
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
    return true;
}

void LogSeries::updateBlocks(qsizetype from)
{
    const qsizetype blocks = (size() + BlockSize - 1) / BlockSize;
    const qsizetype bigBlocks = (size() + BigBlockSize - 1) / BigBlockSize;
    auto merge = [](Block &m, const Block &b) {
        if (b.low < m.low) {
            m.low = b.low;
            m.lowAt = b.lowAt;
        }
        if (b.high > m.high) {
            m.high = b.high;
            m.highAt = b.highAt;
        }
    };
    for (int s = 0; s < m_sensors; ++s) {
        const std::vector<float> &col = m_columns[std::size_t(s)];
        std::vector<Block> &b = m_blocks[std::size_t(s)];
        b.resize(std::size_t(blocks));
        for (qsizetype k = from / BlockSize; k < blocks; ++k) {
            const qsizetype begin = k * BlockSize, end = std::min(size(), begin + BlockSize);
            Block m{col[std::size_t(begin)], col[std::size_t(begin)], quint32(begin), quint32(begin)};
            for (qsizetype i = begin + 1; i < end; ++i)
                merge(m, {col[std::size_t(i)], col[std::size_t(i)], quint32(i), quint32(i)});
            b[std::size_t(k)] = m;
        }
        std::vector<Block> &big = m_bigBlocks[std::size_t(s)];
        big.resize(std::size_t(bigBlocks));
        constexpr qsizetype per = BigBlockSize / BlockSize;
        for (qsizetype k = from / BigBlockSize; k < bigBlocks; ++k) {
            const qsizetype begin = k * per, end = std::min(blocks, begin + per);
            Block m = b[std::size_t(begin)];
            for (qsizetype j = begin + 1; j < end; ++j)
                merge(m, b[std::size_t(j)]);
            big[std::size_t(k)] = m;
        }
    }
}

void LogSeries::extremes(int sensor, qsizetype begin, qsizetype end, qsizetype &low, qsizetype &high) const
{
    const std::vector<float> &col = m_columns[std::size_t(sensor)];
    float lowValue = col[std::size_t(begin)], highValue = lowValue;
    low = high = begin;
    auto take = [&](float lo, qsizetype loAt, float hi, qsizetype hiAt) {
        if (lo < lowValue) {
            lowValue = lo;
            low = loAt;
        }
        if (hi > highValue) {
            highValue = hi;
            high = hiAt;
        }
    };
    auto single = [&](qsizetype i) { take(col[std::size_t(i)], i, col[std::size_t(i)], i); };
    auto block = [&](const Block &b) { take(b.low, b.lowAt, b.high, b.highAt); };
    const std::vector<Block> &blocks = m_blocks[std::size_t(sensor)];
    const std::vector<Block> &big = m_bigBlocks[std::size_t(sensor)];
    qsizetype i = begin;
    for (; i < end && i % BlockSize != 0; ++i)
        single(i);
    for (; i + BlockSize <= end && i % BigBlockSize != 0; i += BlockSize)
        block(blocks[std::size_t(i / BlockSize)]);
    for (; i + BigBlockSize <= end; i += BigBlockSize)
        block(big[std::size_t(i / BigBlockSize)]);
    for (; i + BlockSize <= end; i += BlockSize)
        block(blocks[std::size_t(i / BlockSize)]);
    for (; i < end; ++i)
        single(i);
}

std::pair<float, float> LogSeries::range(int sensor, qsizetype begin, qsizetype end) const
{
    begin = std::max<qsizetype>(0, begin);
    end = std::min(size(), end);
    if (sensor < 0 || sensor >= m_sensors || begin >= end)
        return {0.0f, 0.0f};
    qsizetype lo = begin, hi = begin;
    extremes(sensor, begin, end, lo, hi);
    return {m_columns[sensor][lo], m_columns[sensor][hi]};
}

LogSeries::SensorFigures LogSeries::figures(int sensor) const
{
    SensorFigures f;
    if (sensor < 0 || sensor >= m_sensors || m_columns[sensor].empty())
        return f;
    const std::vector<float> &col = m_columns[sensor];
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
    const qint64 middle = qint64(m_times.size() - 1) / 2;
    qint64 seen = 0;
    for (const auto &[length, count] : m_steps) {
        seen += count;
        if (seen > middle)
            return length;
    }
    return 0;
}

QList<LogSeries::Gap> LogSeries::gaps() const
{
    const qint64 median = medianPass();
    if (median <= 0)
        return {};
    // A year of records is scanned once; while the median stays, only the
    // records added since.
    if (median != m_gapMedian) {
        m_gaps.clear();
        m_gapMedian = median;
        m_gapsScanned = 1;
    }
    const qint64 longest = GapFactor * median;
    for (qsizetype i = std::max<qsizetype>(1, m_gapsScanned); i < size(); ++i)
        if (m_times[i] - m_times[i - 1] > longest)
            m_gaps.append({m_times[i - 1], m_times[i]});
    m_gapsScanned = size();
    return m_gaps;
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

qsizetype LogSeries::lowerBound(qint64 utc) const
{
    return std::lower_bound(m_times.begin(), m_times.end(), utc) - m_times.begin();
}

qsizetype LogSeries::nearest(qint64 utc) const
{
    if (m_times.empty())
        return -1;
    qsizetype i = lowerBound(utc);
    if (i == size())
        return i - 1;
    if (i > 0 && utc - m_times[i - 1] < m_times[i] - utc)
        --i;
    return i;
}

QList<QPointF> LogSeries::reduce(int sensor, double fromMsecs, double toMsecs, int columns) const
{
    if (sensor < 0 || sensor >= m_sensors)
        return {};
    std::vector<bool> wanted(std::size_t(m_sensors), false);
    wanted[std::size_t(sensor)] = true;
    return std::move(reduce(wanted, fromMsecs, toMsecs, columns)[std::size_t(sensor)]);
}

std::vector<QList<QPointF>> LogSeries::reduce(const std::vector<bool> &wanted, double fromMsecs, double toMsecs,
                                              int columns) const
{
    std::vector<QList<QPointF>> lines(std::size_t(std::max(0, m_sensors)));
    if (m_times.empty() || columns <= 0 || !(toMsecs > fromMsecs))
        return lines;
    const qint64 from = qint64(std::floor(fromMsecs / 1000.0));
    const qint64 to = qint64(std::ceil(toMsecs / 1000.0));
    qsizetype begin = lowerBound(from);
    qsizetype end = std::upper_bound(m_times.begin(), m_times.end(), to) - m_times.begin();
    if (begin > 0)
        --begin;
    if (end < size())
        ++end;
    auto isWanted = [&](int s) { return s < int(wanted.size()) && wanted[std::size_t(s)]; };
    auto point = [&](int s, qsizetype i) { return QPointF(double(m_times[std::size_t(i)]) * 1000.0, m_columns[std::size_t(s)][std::size_t(i)]); };
    if (end - begin <= 2 * qsizetype(columns)) {
        for (int s = 0; s < m_sensors; ++s) {
            if (!isWanted(s))
                continue;
            lines[std::size_t(s)].reserve(end - begin);
            for (qsizetype i = begin; i < end; ++i)
                lines[std::size_t(s)].append(point(s, i));
        }
        return lines;
    }

    // The records of each pixel column, found once for every sensor by
    // galloping from the column before: a binary search over millions of
    // times misses the cache at every step.
    const qsizetype stop = end - 1;
    const double width = (toMsecs - fromMsecs) / columns;
    // Where a column holds many blocks, its edges move to the nearest block
    // edge: every record still lands in a column (one a fraction of a pixel
    // off at most), and the column is read from blocks alone.
    const qsizetype perColumn = (stop - begin - 1) / columns;
    const qsizetype snap = perColumn >= 2 * BigBlockSize ? BigBlockSize : perColumn >= 2 * BlockSize ? BlockSize : 1;
    std::vector<qsizetype> edges{begin + 1};
    edges.reserve(std::size_t(columns) + 2);
    qsizetype i = begin + 1;
    for (int c = 0; c < columns && i < stop; ++c) {
        const qint64 columnEnd = qint64(std::ceil((fromMsecs + (c + 1) * width) / 1000.0));
        qsizetype lo = i, step = 1;
        while (lo + step < stop && m_times[std::size_t(lo + step)] < columnEnd) {
            lo += step;
            step *= 2;
        }
        qsizetype j = std::lower_bound(m_times.begin() + lo, m_times.begin() + std::min(stop, lo + step), columnEnd)
            - m_times.begin();
        j = std::max(i, j);
        if (snap > 1 && j < stop)
            j = std::clamp((j + snap / 2) / snap * snap, i, stop);
        if (j == i)
            continue;
        edges.push_back(j);
        i = j;
    }
    if (i < stop)
        edges.push_back(stop);

    for (int s = 0; s < m_sensors; ++s) {
        if (!isWanted(s))
            continue;
        QList<QPointF> &points = lines[std::size_t(s)];
        points.reserve(2 * qsizetype(edges.size()) + 2);
        points.append(point(s, begin));
        for (std::size_t k = 0; k + 1 < edges.size(); ++k) {
            qsizetype lo = edges[k], hi = edges[k];
            extremes(s, edges[k], edges[k + 1], lo, hi);
            points.append(point(s, std::min(lo, hi)));
            if (lo != hi)
                points.append(point(s, std::max(lo, hi)));
        }
        points.append(point(s, stop));
    }
    return lines;
}

} // namespace kestrin
