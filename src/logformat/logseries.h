#pragma once

#include "logbatch.h"

#include <QList>
#include <QPointF>

#include <map>
#include <vector>

namespace kestrin {

// Every record of one log, one column per sensor, with what the viewer
// shows about them: per-sensor figures, gaps, flat runs, and a drawing-sized
// reduction of any time range.
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
    void append(const LogBatch &batch);

    qsizetype size() const { return qsizetype(m_times.size()); }
    int sensors() const { return m_sensors; }
    const std::vector<qint64> &times() const { return m_times; }
    const std::vector<float> &column(int sensor) const { return m_columns[sensor]; }
    int offsetAt(qsizetype i) const { return m_offsets[i]; }

    SensorFigures figures(int sensor) const;
    // Median seconds from one record to the next (0 with fewer than 2).
    qint64 medianPass() const;
    QList<Gap> gaps() const;
    QList<FlatRun> flatRuns() const;

    // Index of the record nearest to `utc` (-1 when there is none).
    qsizetype nearest(qint64 utc) const;

    // The points to draw for `sensor` between two times (msecs since the
    // epoch, as chart axes count) on `columns` pixel columns: every record
    // when they fit, otherwise per column its minimum and maximum in time
    // order, so no peak and no trough is lost. One record beyond each end
    // keeps the line running to the edge.
    QList<QPointF> reduce(int sensor, double fromMsecs, double toMsecs, int columns) const;

private:
    // Where the minimum and maximum of each block of records lie, so that
    // reducing a wide range looks at blocks, not at every record.
    static constexpr qsizetype BlockSize = 64;
    struct Block
    {
        quint32 low = 0, high = 0;
    };
    void updateBlocks(qsizetype from);
    void extremes(int sensor, qsizetype begin, qsizetype end, qsizetype &low, qsizetype &high) const;

    int m_sensors = 0;
    std::vector<std::vector<Block>> m_blocks;
    std::vector<qint64> m_times;
    std::vector<qint32> m_offsets;
    std::vector<std::vector<float>> m_columns;
    struct Sums
    {
        float minimum = 0, maximum = 0;
        double sum = 0;
    };
    std::vector<Sums> m_sums;
    // Kept up to date on every append, so a followed log costs only its new
    // records: every step between records by its length, and each sensor's
    // finished flat runs and where its current run of equal values began.
    std::map<qint64, std::vector<qint64>> m_steps; // length -> index of the later record
    QList<FlatRun> m_finishedRuns;
    std::vector<qsizetype> m_runStart;
};

} // namespace kestrin
