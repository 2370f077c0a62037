#pragma once

#include "localclock.h"
#include "logbatch.h"
#include "loglineparser.h"
#include "recordscanner.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QLocale>
#include <QString>

#include <functional>
#include <limits>
#include <memory>
#include <optional>

namespace kestrin {

// Reads a log as it arrives, in pieces of any size: only whole lines (ended
// by CR LF) are records; the last line without its LF is held back until
// the rest of it comes, because the logger may be writing it right now.
//
// Lines are read byte by byte where they have the form the logger writes
// (RecordScanner), the slow way otherwise (LogLineParser), and a long stretch
// of lines is read on several threads at once and put together in order.
class LogReader final
{
public:
    // A longer line cannot be a record; it is skipped without being held.
    static constexpr qsizetype MaxLineLength = 64 * 1024;

    explicit LogReader(const QLocale &locale);
    ~LogReader();

    // Reads every whole line of what came so far into `out`.
    void feed(QByteArrayView bytes, LogBatch &out);

    // The same as feed() for the bytes [from, to) of an open file, read on
    // `threads` threads (0: one per core). `sink` gets the records in file
    // order, a piece at a time, with how far into the file the reading has
    // come (for a progress bar); it returns false to stop early. Returns where the reading
    // stopped: `to`, or less when the sink stopped it or the file got
    // shorter meanwhile (which the next read of it will find out).
    //
    // The file is read, not mapped: a file that is truncated under a map
    // ends the process with SIGBUS, and followed files are truncated.
    using PieceSink = std::function<bool(LogBatch &batch, qint64 done)>;
    qint64 feedFile(QFile &file, qint64 from, qint64 to, const PieceSink &sink, int threads = 0);

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
    // Reads a whole file (on every core); `sink` gets
    // each piece's records and problems in file order as they are read.
    static FileResult readFile(const QString &path, const QLocale &locale, const Sink &sink,
                               const Progress &progress = {});
    // "PATH is not a Kestrin-3 log: line 1: ...", for a file with no record.
    static QString notALog(const QString &path, const LogReader &reader);

private:
    struct Parsed;
    class LineReader;
    struct Piece;

    // Reads the lines that start in [from, pieceEnd) of the file, and the
    // rest of the last of them, up to `to`.
    static void readPiece(QFile &file, qint64 from, qint64 pieceEnd, qint64 to, bool lineStart, LineReader &reader,
                          Piece &out);

    void merge(Parsed &parsed, LogBatch &out);
    void problem(LogBatch &out, qint64 line, QString reason);

    QLocale m_locale;
    std::shared_ptr<const RecordScanner> m_scanner;
    std::unique_ptr<LineReader> m_lines;
    LocalClock m_clock;
    qint64 m_previousUtc = std::numeric_limits<qint64>::min();
    QByteArray m_pending;
    bool m_discarding = false;
    qint64 m_line = 0;
    qint64 m_records = 0;
    int m_readings = 0;
    std::optional<LogProblem> m_firstProblem;
    qint64 m_problemLimit = std::numeric_limits<qint64>::max();
    qint64 m_problems = 0;
    qint64 m_undescribed = 0;
};

} // namespace kestrin
