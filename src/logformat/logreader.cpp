#include "logreader.h"

#include <QFile>
#include <QStringDecoder>
#include <QThread>

#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <unistd.h>
#endif

namespace kestrin {

namespace {

// Pieces the parallel reading works in: large enough that handing them
// around costs nothing, small enough that a few in flight stay small.
constexpr qsizetype PieceBytes = 1024 * 1024;

QString tooLong()
{
    return QStringLiteral("it is longer than %1 bytes").arg(LogReader::MaxLineLength);
}

} // namespace

// Whole lines read on one thread, before they are put in order: the wall
// times are not yet moments, because a repeated hour needs the record above.
struct LogReader::Parsed
{
    qint64 lines = 0;
    std::vector<qint64> walls;
    std::vector<float> values;
    std::vector<quint8> counts;
    std::vector<qint64> recordLines; // line index within the stretch
    std::vector<std::pair<qint64, QString>> problems;
};

// Reads lines into a Parsed; one per thread.
class LogReader::LineReader final
{
public:
    LineReader(const QLocale &locale, std::shared_ptr<const RecordScanner> scanner)
        : m_locale(locale)
        , m_scanner(std::move(scanner))
    {
    }

    // One line without its LF.
    void line(const char *begin, const char *end, Parsed &out)
    {
        const qint64 index = out.lines++;
        if (end - begin > MaxLineLength) {
            out.problems.emplace_back(index, tooLong());
            return;
        }
        if (begin == end || end[-1] != '\r') {
            out.problems.emplace_back(index, QStringLiteral("it ends with LF alone, not CR LF"));
            return;
        }
        --end;
        float values[LogLineParser::MaxReadings];
        qint64 wall = 0;
        const int count = m_scanner->scan(begin, end, wall, values, LogLineParser::MaxReadings);
        if (count > 0) {
            add(out, index, wall, values, count);
            return;
        }
        slowly(begin, end, index, out);
    }

    // Whole lines, each ended by LF.
    void lines(QByteArrayView bytes, Parsed &out)
    {
        const char *p = bytes.data();
        const char *const end = p + bytes.size();
        while (p < end) {
            const char *lf = static_cast<const char *>(std::memchr(p, '\n', std::size_t(end - p)));
            if (!lf)
                lf = end;
            line(p, lf, out);
            p = lf + 1;
        }
    }

private:
    static void add(Parsed &out, qint64 index, qint64 wall, const float *values, int count)
    {
        out.walls.push_back(wall);
        out.values.insert(out.values.end(), values, values + count);
        out.counts.push_back(quint8(count));
        out.recordLines.push_back(index);
    }

    // Old forms, other digits, and every line that is no record: the parser
    // that also says why.
    void slowly(const char *begin, const char *end, qint64 index, Parsed &out)
    {
        QStringDecoder decoder(QStringConverter::System, QStringConverter::Flag::Stateless);
        const QString text = decoder.decode(QByteArrayView(begin, end - begin));
        if (decoder.hasError()) {
            out.problems.emplace_back(index, QStringLiteral("it is not text in the log's encoding"));
            return;
        }
        if (!m_parser)
            m_parser = std::make_unique<LogLineParser>(m_locale);
        LogLineParser::Record record;
        QString reason;
        m_scratch.clear();
        if (!m_parser->parse(text, record, m_scratch, reason)) {
            out.problems.emplace_back(index, std::move(reason));
            return;
        }
        add(out, index, record.wall, m_scratch.data(), int(m_scratch.size()));
    }

    QLocale m_locale;
    std::shared_ptr<const RecordScanner> m_scanner;
    std::unique_ptr<LogLineParser> m_parser;
    std::vector<float> m_scratch;
};

LogReader::LogReader(const QLocale &locale)
    : m_locale(locale)
    , m_scanner(std::make_shared<const RecordScanner>(locale))
    , m_lines(std::make_unique<LineReader>(locale, m_scanner))
{
}

LogReader::~LogReader() = default;

void LogReader::problem(LogBatch &out, qint64 line, QString reason)
{
    if (m_problems++ >= m_problemLimit) {
        ++m_undescribed;
        return;
    }
    LogProblem p{line, std::move(reason)};
    if (!m_firstProblem)
        m_firstProblem = p;
    out.problems.push_back(std::move(p));
}

void LogReader::merge(Parsed &parsed, LogBatch &out)
{
    std::size_t next = 0; // the next problem, in line order with the records
    auto problemsBefore = [&](qint64 index) {
        for (; next < parsed.problems.size() && parsed.problems[next].first < index; ++next)
            problem(out, m_line + parsed.problems[next].first + 1, std::move(parsed.problems[next].second));
    };
    out.times.reserve(out.times.size() + parsed.walls.size());
    out.offsets.reserve(out.offsets.size() + parsed.walls.size());
    std::size_t value = 0;
    for (std::size_t r = 0; r < parsed.walls.size(); ++r) {
        problemsBefore(parsed.recordLines[r]);
        const int count = parsed.counts[r];
        const float *readings = parsed.values.data() + value;
        value += std::size_t(count);
        if (m_readings == 0)
            m_readings = count;
        if (count != m_readings) {
            problem(out, m_line + parsed.recordLines[r] + 1,
                    QStringLiteral("%1 readings where the log's records have %2").arg(count).arg(m_readings));
            continue;
        }
        if (out.readingsPerRecord == 0)
            out.readingsPerRecord = m_readings;
        const LocalClock::Moment moment = m_clock.resolve(parsed.walls[r], m_previousUtc);
        m_previousUtc = moment.utc;
        out.times.push_back(moment.utc);
        out.offsets.push_back(moment.offset);
        out.values.insert(out.values.end(), readings, readings + count);
        ++m_records;
    }
    problemsBefore(std::numeric_limits<qint64>::max());
    m_line += parsed.lines;
}

void LogReader::feed(QByteArrayView bytes, LogBatch &out)
{
    Parsed parsed;
    while (!bytes.isEmpty()) {
        const qsizetype lf = bytes.indexOf('\n');
        if (lf < 0) {
            if (!m_discarding) {
                m_pending.append(bytes);
                if (m_pending.size() > MaxLineLength) {
                    m_pending.clear();
                    m_discarding = true;
                }
            }
            break;
        }
        const QByteArrayView head = bytes.first(lf);
        bytes = bytes.sliced(lf + 1);
        if (m_discarding) {
            m_discarding = false;
            parsed.problems.emplace_back(parsed.lines++, tooLong());
        } else if (!m_pending.isEmpty()) {
            m_pending.append(head);
            m_lines->line(m_pending.constData(), m_pending.constData() + m_pending.size(), parsed);
            m_pending.clear();
        } else {
            m_lines->line(head.data(), head.data() + head.size(), parsed);
        }
    }
    merge(parsed, out);
}

namespace {

// Reads up to `length` bytes at `offset` without moving the file's position,
// so that several threads read one file at once.
qint64 readAt(QFile &file, qint64 offset, char *buffer, qint64 length)
{
#ifdef Q_OS_UNIX
    qint64 done = 0;
    while (done < length) {
        const ssize_t got = ::pread(file.handle(), buffer + done, std::size_t(length - done), off_t(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += got;
    }
    return done;
#else
    static std::mutex one;
    std::lock_guard lock(one);
    if (!file.seek(offset))
        return 0;
    return std::max<qint64>(0, file.read(buffer, length));
#endif
}

} // namespace

struct LogReader::Piece
{
    Parsed parsed;
    qint64 wholeEnd = -1; // after the LF of the last whole line read; -1: none
};

void LogReader::readPiece(QFile &file, qint64 start, qint64 pieceEnd, qint64 to, bool lineStart, LineReader &reader,
                          Piece &out)
{
    // A piece reads the lines that start in it; unless it is known to start
    // a line, the byte before it says whether a line starts at its first byte.
    const qint64 readFrom = lineStart ? start : start - 1;
    QByteArray buffer(pieceEnd - readFrom, Qt::Uninitialized);
    const qint64 got = readAt(file, readFrom, buffer.data(), buffer.size());
    buffer.truncate(got);
    out.wholeEnd = -1;
    qsizetype p = 0;
    if (!lineStart) {
        const qsizetype lf = buffer.indexOf('\n');
        if (lf < 0)
            return; // inside a line that started before
        p = lf + 1;
    }
    for (;;) {
        const qsizetype lf = buffer.indexOf('\n', p);
        if (lf >= 0) {
            reader.line(buffer.constData() + p, buffer.constData() + lf, out.parsed);
            p = lf + 1;
            out.wholeEnd = readFrom + p;
            continue;
        }
        if (p >= buffer.size() || got < pieceEnd - readFrom)
            return;
        break;
    }
    // The last line goes on past the piece: read on until its LF, holding
    // no more of it than a record can be long.
    QByteArray line = buffer.mid(p);
    bool tooLongLine = line.size() > MaxLineLength;
    if (tooLongLine)
        line.clear();
    qint64 at = readFrom + buffer.size();
    char chunk[64 * 1024];
    while (at < to) {
        const qint64 n = readAt(file, at, chunk, std::min<qint64>(sizeof chunk, to - at));
        if (n <= 0)
            return;
        const char *lf = static_cast<const char *>(std::memchr(chunk, '\n', std::size_t(n)));
        const qint64 take = lf ? lf - chunk : n;
        if (!tooLongLine) {
            line.append(chunk, take);
            if (line.size() > MaxLineLength) {
                tooLongLine = true;
                line.clear();
            }
        }
        at += take;
        if (lf) {
            if (tooLongLine)
                out.parsed.problems.emplace_back(out.parsed.lines++, tooLong());
            else
                reader.line(line.constData(), line.constData() + line.size(), out.parsed);
            out.wholeEnd = at + 1;
            return;
        }
    }
    // The last line has no LF yet: it is held, not read.
}

qint64 LogReader::feedFile(QFile &file, qint64 from, qint64 to, const PieceSink &sink, int threads)
{
    // A line held from before is finished first, the plain way.
    char chunk[64 * 1024];
    while (holdsPartialLine() && from < to) {
        const qint64 n = readAt(file, from, chunk, std::min<qint64>(sizeof chunk, to - from));
        if (n <= 0)
            return from;
        const char *lf = static_cast<const char *>(std::memchr(chunk, '\n', std::size_t(n)));
        const qint64 take = lf ? lf - chunk + 1 : n;
        LogBatch batch;
        feed(QByteArrayView(chunk, take), batch);
        from += take;
        if (!sink(batch, from))
            return from;
    }
    if (from >= to)
        return from;

    std::vector<std::pair<qint64, qint64>> pieces;
    for (qint64 at = from; at < to; at += PieceBytes)
        pieces.emplace_back(at, std::min(to, at + PieceBytes));
    if (threads <= 0)
        threads = std::max(1, QThread::idealThreadCount());
    threads = std::min<int>(threads, int(pieces.size()));

    qint64 reached = from;
    bool stopped = false;
    auto deliver = [&](Piece &piece, qint64 pieceEnd) {
        LogBatch batch;
        merge(piece.parsed, batch);
        if (piece.wholeEnd >= 0)
            reached = piece.wholeEnd;
        stopped = !sink(batch, std::max(reached, pieceEnd));
    };
    auto readOne = [&](std::size_t index, LineReader &reader, Piece &piece) {
        readPiece(file, pieces[index].first, pieces[index].second, to, index == 0, reader, piece);
    };
    if (threads <= 1) {
        for (std::size_t i = 0; i < pieces.size() && !stopped; ++i) {
            Piece piece;
            readOne(i, *m_lines, piece);
            deliver(piece, pieces[i].second);
        }
    } else {
        // Workers read pieces ahead, at most a few beyond the one being put
        // in order, so memory stays bounded however long the file.
        const std::size_t window = std::size_t(threads) * 2;
        std::mutex mutex;
        std::condition_variable changed;
        std::map<std::size_t, Piece> ready;
        std::size_t nextPiece = 0, merged = 0;
        bool stopping = false;
        auto work = [&] {
            LineReader reader(m_locale, m_scanner);
            std::unique_lock lock(mutex);
            for (;;) {
                changed.wait(lock, [&] { return stopping || nextPiece >= pieces.size() || nextPiece < merged + window; });
                if (stopping || nextPiece >= pieces.size())
                    return;
                const std::size_t index = nextPiece++;
                lock.unlock();
                Piece piece;
                readOne(index, reader, piece);
                lock.lock();
                ready.emplace(index, std::move(piece));
                changed.notify_all();
            }
        };
        std::vector<std::thread> workers;
        for (int i = 0; i < threads; ++i)
            workers.emplace_back(work);
        for (std::size_t index = 0; index < pieces.size() && !stopped; ++index) {
            Piece piece;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return ready.count(index) > 0; });
                auto it = ready.find(index);
                piece = std::move(it->second);
                ready.erase(it);
                merged = index + 1;
                changed.notify_all();
            }
            deliver(piece, pieces[index].second);
        }
        {
            std::lock_guard lock(mutex);
            stopping = true;
        }
        changed.notify_all();
        for (std::thread &t : workers)
            t.join();
    }
    if (stopped)
        return reached;
    // What follows the last LF is held until the rest of its line comes.
    for (qint64 at = reached; at < to;) {
        const qint64 n = readAt(file, at, chunk, std::min<qint64>(sizeof chunk, to - at));
        if (n <= 0)
            return at;
        LogBatch batch;
        feed(QByteArrayView(chunk, n), batch);
        at += n;
        if (!sink(batch, at))
            return at;
        reached = at;
    }
    return reached;
}

QString LogReader::notALog(const QString &path, const LogReader &reader)
{
    QString why;
    if (const auto first = reader.firstProblem())
        why = QStringLiteral("line %1: %2").arg(first->line).arg(first->reason);
    else if (reader.holdsPartialLine())
        why = QStringLiteral("line 1: it has no CR LF at its end yet");
    else
        why = QStringLiteral("the file is empty");
    return QStringLiteral("%1 is not a Kestrin-3 log: %2").arg(path, why);
}

LogReader::FileResult LogReader::readFile(const QString &path, const QLocale &locale, const Sink &sink,
                                          const Progress &progress)
{
    FileResult result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return result;
    }
    LogReader reader(locale);
    if (!file.isSequential()) {
        const qint64 total = file.size();
        reader.feedFile(file, 0, total, [&](LogBatch &batch, qint64 done) {
            sink(batch);
            if (progress)
                progress(done, total);
            return true;
        });
    } else {
        // A pipe or a device: read it as it comes.
        QByteArray chunk(PieceBytes, Qt::Uninitialized);
        qint64 done = 0;
        for (;;) {
            const qint64 got = file.read(chunk.data(), chunk.size());
            if (got < 0) {
                result.error = QStringLiteral("%1: %2").arg(path, file.errorString());
                return result;
            }
            if (got == 0)
                break;
            LogBatch batch;
            reader.feed(QByteArrayView(chunk.constData(), got), batch);
            sink(batch);
            done += got;
            if (progress)
                progress(done, 0);
        }
    }
    result.records = reader.recordsRead();
    result.lines = reader.linesRead();
    result.partialLastLine = reader.holdsPartialLine();
    if (result.records == 0)
        result.error = notALog(path, reader);
    return result;
}

} // namespace kestrin
