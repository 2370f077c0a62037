#include "logreader.h"

#include <QFile>
#include <QStringDecoder>

namespace kestrin {

LogReader::LogReader(const QLocale &locale)
    : m_parser(locale)
{
}

void LogReader::problem(LogBatch &out, QString reason)
{
    if (m_problems++ >= m_problemLimit) {
        ++m_undescribed;
        return;
    }
    LogProblem p{m_line, std::move(reason)};
    if (!m_firstProblem)
        m_firstProblem = p;
    out.problems.push_back(std::move(p));
}

void LogReader::line(QByteArrayView bytes, LogBatch &out)
{
    ++m_line;
    if (!bytes.endsWith('\r')) {
        problem(out, QStringLiteral("it ends with LF alone, not CR LF"));
        return;
    }
    bytes.chop(1);
    QStringDecoder decoder(QStringConverter::System, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        problem(out, QStringLiteral("it is not text in the log's encoding"));
        return;
    }
    LogLineParser::Record record;
    QString reason;
    m_scratch.clear();
    if (!m_parser.parse(text, record, m_scratch, reason)) {
        problem(out, std::move(reason));
        return;
    }
    const int count = int(m_scratch.size());
    if (m_readings == 0)
        m_readings = count;
    if (count != m_readings) {
        problem(out, QStringLiteral("%1 readings where the log's records have %2").arg(count).arg(m_readings));
        return;
    }
    if (out.readingsPerRecord == 0)
        out.readingsPerRecord = m_readings;
    out.times.push_back(record.utc);
    out.offsets.push_back(record.offset);
    out.values.insert(out.values.end(), m_scratch.begin(), m_scratch.end());
    ++m_records;
}

void LogReader::feed(QByteArrayView bytes, LogBatch &out)
{
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
            return;
        }
        const QByteArrayView head = bytes.first(lf);
        bytes = bytes.sliced(lf + 1);
        if (m_discarding) {
            m_discarding = false;
            ++m_line;
            problem(out, QStringLiteral("it is longer than %1 bytes").arg(MaxLineLength));
        } else if (!m_pending.isEmpty()) {
            m_pending.append(head);
            if (m_pending.size() > MaxLineLength) {
                ++m_line;
                problem(out, QStringLiteral("it is longer than %1 bytes").arg(MaxLineLength));
            } else {
                line(m_pending, out);
            }
            m_pending.clear();
        } else if (head.size() > MaxLineLength) {
            ++m_line;
            problem(out, QStringLiteral("it is longer than %1 bytes").arg(MaxLineLength));
        } else {
            line(head, out);
        }
    }
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
    const qint64 total = file.size();
    LogReader reader(locale);
    QByteArray chunk(4 * 1024 * 1024, Qt::Uninitialized);
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
            progress(done, total);
    }
    result.records = reader.recordsRead();
    result.lines = reader.linesRead();
    result.partialLastLine = reader.holdsPartialLine();
    if (result.records == 0)
        result.error = notALog(path, reader);
    return result;
}

} // namespace kestrin
