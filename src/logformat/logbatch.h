#pragma once

#include <QMetaType>
#include <QString>

#include <memory>
#include <vector>

namespace kestrin {

// A line that is not a record: where it is and why.
struct LogProblem
{
    qint64 line = 0;
    QString reason;
};

// Records read from one stretch of a log, column by column so that a million
// of them stay small: times[i] and offsets[i] belong to the readings
// values[i * readingsPerRecord ...].
struct LogBatch
{
    int readingsPerRecord = 0;
    std::vector<qint64> times;   // seconds since 1970-01-01 UTC
    std::vector<qint32> offsets; // seconds east of UTC at that moment
    std::vector<float> values;
    std::vector<LogProblem> problems;
    // How far into the file reading had come with this batch, and the
    // file's size then (0 where unknown).
    qint64 fileOffset = 0, fileSize = 0;

    qsizetype size() const { return qsizetype(times.size()); }
};

using LogBatchPtr = std::shared_ptr<const LogBatch>;

} // namespace kestrin

Q_DECLARE_METATYPE(kestrin::LogBatchPtr)
