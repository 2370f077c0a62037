#pragma once

#include "logbatch.h"

#include <QList>
#include <QPointF>

#include <map>
#include <vector>

namespace kestrin {

// Every record of one log, one column of 4-byte floats per sensor, with what
// the viewer shows about them: per-sensor figures, gaps, flat runs, and a
// drawing-sized reduction of any time range. A min/max pyramid over the
// columns lets a reduction of millions of records look at a few thousand
// blocks.
class LogSeries final
{
public:
    struct SensorFigures
    {
        float minimum = 0, maximum = 0, last = 0;
        double mean = 0;
        qint64 records = 0;
    };
    struct Gap
    {
        qint64 from = 0, to = 0; // the records either side, UTC seconds
    };
    struct FlatRun
    {
        int sensor = 0;
        qint64 from = 0, to = 0;
        float value = 0;
        bool open = false; // still going on at the newest record
    };

    // A sensor that does not change for this long has likely stopped answering.
    static constexpr qint64 FlatRunSeconds = 3600;
    // A pause longer than this many median pass times is a gap.
    static constexpr int GapFactor = 3;

    void clear();
    // Makes room for this many records in all, so that a large log is
    // read without its columns being moved around as they grow.
    void reserve(qsizetype records);
    // False (and nothing taken) for a batch whose records are not as wide
    // as the ones already held: it belongs to another log.
    bool append(const LogBatch &batch);

    qsizetype size() const { return qsizetype(m_times.size()); }
    int sensors() const { return m_sensors; }
    const std::vector<qint64> &times() const { return m_times; }
    const std::vector<float> &column(int sensor) const { return m_columns[sensor]; }
    // Seconds east of UTC at record i.
    int offsetAt(qsizetype i) const;

    SensorFigures figures(int sensor) const;
    // Minimum and maximum of `sensor` over the records [begin, end).
    std::pair<float, float> range(int sensor, qsizetype begin, qsizetype end) const;
    // Median seconds from one record to the next (0 with fewer than 2).
    qint64 medianPass() const;
    QList<Gap> gaps() const;
    QList<FlatRun> flatRuns() const;

    // Index of the record nearest to `utc` (-1 when there is none).
    qsizetype nearest(qint64 utc) const;
    // Index of the first record at or after `utc`.
    qsizetype lowerBound(qint64 utc) const;

    // The points to draw for `sensor` between two times (msecs since the
    // epoch, as chart axes count) on `columns` pixel columns: every record
    // when they fit, otherwise per column its minimum and maximum in time
    // order, so no peak and no trough is lost. One record beyond each end
    // keeps the line running to the edge.
    QList<QPointF> reduce(int sensor, double fromMsecs, double toMsecs, int columns) const;
    // The same for several sensors at once (those `wanted`; empty lists for
    // the others): the columns' edges are found once for all of them.
    std::vector<QList<QPointF>> reduce(const std::vector<bool> &wanted, double fromMsecs, double toMsecs,
                                       int columns) const;

private:
    // Where the minimum and maximum of each block of records lie; a second
    // level holds the same for blocks of blocks.
    static constexpr qsizetype BlockSize = 64;
    static constexpr qsizetype BigBlockSize = BlockSize * 16;
    struct Block
    {
        float low = 0, high = 0;     // the values, so a block is read alone
        quint32 lowAt = 0, highAt = 0; // and where they are
    };
    void updateBlocks(qsizetype from);
    void extremes(int sensor, qsizetype begin, qsizetype end, qsizetype &low, qsizetype &high) const;
    template<typename T>
    static void grow(std::vector<T> &v, std::size_t needed);

    int m_sensors = 0;
    std::vector<qint64> m_times;
    std::vector<std::vector<float>> m_columns;
    std::vector<std::vector<Block>> m_blocks, m_bigBlocks;
    // The offset changes twice a year at most: (first record, offset) pairs.
    std::vector<std::pair<qsizetype, qint32>> m_offsets;
    struct Sums
    {
        float minimum = 0, maximum = 0;
        double sum = 0;
    };
    std::vector<Sums> m_sums;
    // Kept up to date on every append, so a followed log costs only its new
    // records: how many steps between records have each length, the gaps
    // found so far for the median they were found with, and each sensor's
    // finished flat runs and where its current run of equal values began.
    std::map<qint64, qint64> m_steps; // length -> how many
    mutable QList<Gap> m_gaps;
    mutable qint64 m_gapMedian = -1;
    mutable qsizetype m_gapsScanned = 0;
    QList<FlatRun> m_finishedRuns;
    std::vector<qsizetype> m_runStart;
};

} // namespace kestrin
