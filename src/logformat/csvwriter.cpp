#include "csvwriter.h"

#include "logreader.h"

#include <QDate>

#include <charconv>
#include <cstdlib>

namespace kestrin {

namespace {

constexpr qint64 UnixEpochJulianDay = 2440588;

void twoDigits(int v, QByteArray &out)
{
    out.append(char('0' + v / 10));
    out.append(char('0' + v % 10));
}

qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

} // namespace

QByteArray CsvWriter::header(int readings)
{
    QByteArray out("time");
    for (int i = 1; i <= readings; ++i)
        out += ",sensor" + QByteArray::number(i);
    return out + "\r\n";
}

void CsvWriter::appendTime(qint64 utc, int offset, QByteArray &out)
{
    const qint64 wall = utc + offset;
    const qint64 days = floorDiv(wall, 86400);
    const int seconds = int(wall - days * 86400);
    const QDate date = QDate::fromJulianDay(days + UnixEpochJulianDay);
    char year[16];
    const auto y = std::to_chars(year, year + sizeof year, date.year());
    out.append(year, y.ptr - year);
    out.append('-');
    twoDigits(date.month(), out);
    out.append('-');
    twoDigits(date.day(), out);
    out.append('T');
    twoDigits(seconds / 3600, out);
    out.append(':');
    twoDigits(seconds / 60 % 60, out);
    out.append(':');
    twoDigits(seconds % 60, out);
    out.append(offset < 0 ? '-' : '+');
    const int off = std::abs(offset);
    twoDigits(off / 3600, out);
    out.append(':');
    twoDigits(off / 60 % 60, out);
}

void CsvWriter::appendReading(float value, QByteArray &out)
{
    char text[32];
    const auto r = std::to_chars(text, text + sizeof text, value);
    out.append(text, r.ptr - text);
}

void CsvWriter::appendRows(const LogBatch &batch, QByteArray &out)
{
    const int n = batch.readingsPerRecord;
    for (qsizetype i = 0; i < batch.size(); ++i) {
        appendTime(batch.times[i], batch.offsets[i], out);
        const float *v = batch.values.data() + i * n;
        for (int j = 0; j < n; ++j) {
            out.append(',');
            appendReading(v[j], out);
        }
        out.append("\r\n");
    }
}

std::optional<QString> CsvWriter::exportLog(const QString &path, const QLocale &locale, QIODevice &out,
                                            const std::function<void(const LogProblem &)> &skipped,
                                            const QString &outName)
{
    // Problems before the first record are held back: when no record comes
    // at all, the one error says more than a line-by-line list.
    std::vector<LogProblem> held;
    bool sawRecord = false;
    bool wroteHeader = false;
    std::optional<QString> writeError;
    QByteArray text;
    const auto sink = [&](const LogBatch &batch) {
        if (writeError)
            return;
        text.clear();
        if (!wroteHeader && batch.readingsPerRecord > 0) {
            text = header(batch.readingsPerRecord);
            wroteHeader = true;
        }
        appendRows(batch, text);
        if (!sawRecord && batch.size() > 0) {
            sawRecord = true;
            for (const LogProblem &p : held)
                skipped(p);
            held.clear();
        }
        for (const LogProblem &p : batch.problems) {
            if (sawRecord)
                skipped(p);
            else if (held.size() < 10000)
                held.push_back(p);
        }
        if (!text.isEmpty() && out.write(text) != text.size())
            writeError = QStringLiteral("%1: %2").arg(outName, out.errorString());
    };
    const LogReader::FileResult result = LogReader::readFile(path, locale, sink);
    if (result.error)
        return result.error;
    if (writeError)
        return writeError;
    return std::nullopt;
}

} // namespace kestrin
