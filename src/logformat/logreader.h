#pragma once

#include "logbatch.h"
#include "loglineparser.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QLocale>
#include <QString>

#include <functional>
#include <limits>
#include <optional>

namespace kestrin {

// Reads a log as it arrives, in pieces of any size: only whole lines (ended
// by CR LF) are records; the last line without its LF is held back until
// the rest of it comes, because the logger may be writing it right now.
class LogReader final
{
public:
    // A longer line cannot be a record; it is skipped without being held.
    static constexpr qsizetype MaxLineLength = 64 * 1024;

    explicit LogReader(const QLocale &locale);

    // Reads every whole line of what came so far into `out`.
    void feed(QByteArrayView bytes, LogBatch &out);

    // Beyond this many, lines that are no record are counted, not described:
    // a file in another locale must not fill the memory with reasons.
    void setProblemLimit(qint64 limit) { m_problemLimit = limit; }
    qint64 problemsNotDescribed() const { return m_undescribed; }

    qint64 linesRead() const { return m_line; }
    qint64 recordsRead() const { return m_records; }
    int readingsPerRecord() const { return m_readings; }
    bool holdsPartialLine() const { return !m_pending.isEmpty() || m_discarding; }
    std::optional<LogProblem> firstProblem() const { return m_firstProblem; }

    struct FileResult
    {
        std::optional<QString> error; // unreadable, or not a log at all
        qint64 records = 0;
        qint64 lines = 0;
        bool partialLastLine = false;
    };
    using Sink = std::function<void(const LogBatch &)>;
    using Progress = std::function<void(qint64 done, qint64 total)>;
    // Reads a whole file in pieces; `sink` gets each piece's records and
    // problems as they are read.
    static FileResult readFile(const QString &path, const QLocale &locale, const Sink &sink,
                               const Progress &progress = {});
    // "PATH is not a Kestrin-3 log: line 1: ...", for a file with no record.
    static QString notALog(const QString &path, const LogReader &reader);

private:
    void line(QByteArrayView bytes, LogBatch &out);
    void problem(LogBatch &out, QString reason);

    LogLineParser m_parser;
    QByteArray m_pending;
    bool m_discarding = false;
    qint64 m_line = 0;
    qint64 m_records = 0;
    int m_readings = 0;
    std::optional<LogProblem> m_firstProblem;
    qint64 m_problemLimit = std::numeric_limits<qint64>::max();
    qint64 m_problems = 0;
    qint64 m_undescribed = 0;
    std::vector<float> m_scratch;
};

} // namespace kestrin
