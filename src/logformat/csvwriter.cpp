#include "csvwriter.h"

#include "loglineparser.h"
#include "logreader.h"

#include <QDate>

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace kestrin {

namespace {

constexpr qint64 UnixEpochJulianDay = 2440588;
constexpr qsizetype LogLineParserMaxReadings = LogLineParser::MaxReadings;

char *twoDigits(char *p, int v)
{
    *p++ = char('0' + v / 10);
    *p++ = char('0' + v % 10);
    return p;
}

qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// "2026-12-08T" for the day `days` after 1970-01-01.
char *dateText(char *p, qint64 days)
{
    const QDate d = QDate::fromJulianDay(days + UnixEpochJulianDay);
    p = std::to_chars(p, p + 12, d.year()).ptr;
    *p++ = '-';
    p = twoDigits(p, d.month());
    *p++ = '-';
    p = twoDigits(p, d.day());
    *p++ = 'T';
    return p;
}

// "10:45:41"
char *clockText(char *p, int seconds)
{
    p = twoDigits(p, seconds / 3600);
    *p++ = ':';
    p = twoDigits(p, seconds / 60 % 60);
    *p++ = ':';
    return twoDigits(p, seconds % 60);
}

// "+01:00"
char *zoneText(char *p, int offset)
{
    const int off = std::abs(offset);
    *p++ = offset < 0 ? '-' : '+';
    p = twoDigits(p, off / 3600);
    *p++ = ':';
    return twoDigits(p, off / 60 % 60);
}

} // namespace

QByteArray CsvWriter::header(int readings, const QStringList &names)
{
    QByteArray out("time");
    for (int i = 1; i <= readings; ++i) {
        const QString name = names.value(i - 1);
        if (name.isEmpty()) {
            out += ",sensor" + QByteArray::number(i);
        } else {
            QByteArray quoted = name.toUtf8();
            quoted.replace('"', "\"\"");
            out += ",\"" + quoted + '"';
        }
    }
    return out + "\r\n";
}

void CsvWriter::appendTime(qint64 utc, int offset, QByteArray &out)
{
    const qint64 wall = utc + offset;
    const qint64 days = floorDiv(wall, 86400);
    char text[40];
    char *p = dateText(text, days);
    p = clockText(p, int(wall - days * 86400));
    p = zoneText(p, offset);
    out.append(text, p - text);
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
    // Written straight into the array's room, a day's date and an offset's
    // text worked out once: a year's CSV is 4 million rows.
    constexpr qsizetype MaxRow = 32 + 16 * LogLineParserMaxReadings;
    qint64 day = std::numeric_limits<qint64>::min();
    int offsetShown = std::numeric_limits<int>::min();
    char date[24], zone[8];
    qsizetype dateLength = 0;
    for (qsizetype i = 0; i < batch.size(); ++i) {
        const qsizetype at = out.size();
        out.resize(at + MaxRow);
        char *p = out.data() + at;
        const int offset = batch.offsets[i];
        const qint64 wall = batch.times[i] + offset;
        const qint64 days = floorDiv(wall, 86400);
        if (days != day) {
            day = days;
            dateLength = dateText(date, days) - date;
        }
        if (offset != offsetShown) {
            offsetShown = offset;
            zoneText(zone, offset);
        }
        std::memcpy(p, date, std::size_t(dateLength));
        p = clockText(p + dateLength, int(wall - days * 86400));
        std::memcpy(p, zone, 6);
        p += 6;
        const float *v = batch.values.data() + i * n;
        for (int j = 0; j < n; ++j) {
            *p++ = ',';
            p = std::to_chars(p, p + 16, v[j]).ptr;
        }
        *p++ = '\r';
        *p++ = '\n';
        out.resize(p - out.constData());
    }
}

std::optional<QString> CsvWriter::exportLog(const QString &path, const QLocale &locale, QIODevice &out,
                                            const std::function<void(const LogProblem &)> &skipped,
                                            const QString &outName, const QStringList &names,
                                            const std::function<void(int readings)> &width)
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
            text = header(batch.readingsPerRecord, names);
            wroteHeader = true;
            if (width)
                width(batch.readingsPerRecord);
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
