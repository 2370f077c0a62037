#include "reportcsvwriter.h"

#include "report.h"

#include <charconv>
#include <cstdlib>

namespace kestrin {

namespace {

void appendShortest(float value, QByteArray &out)
{
    char buffer[32];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, r.ptr - buffer);
}

void appendFixed(double value, int decimals, QByteArray &out)
{
    char buffer[64];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    out.append(buffer, r.ptr - buffer);
}

// RFC 4180: a field with a comma, a quote or a line break goes in quotes,
// its quotes doubled.
void appendText(const QString &text, QByteArray &out)
{
    const QByteArray utf8 = text.toUtf8();
    if (!utf8.contains(',') && !utf8.contains('"') && !utf8.contains('\n') && !utf8.contains('\r')) {
        out += utf8;
        return;
    }
    out += '"';
    for (char c : utf8) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

} // namespace

QByteArray ReportCsvWriter::header()
{
    return "period_start,sensor,name,records,coverage_percent,min,min_time,max,max_time,mean,mkt,excursions,"
           "minutes_out_of_range\r\n";
}

QByteArray ReportCsvWriter::isoTime(qint64 utc, int offset)
{
    QByteArray out = QDateTime::fromSecsSinceEpoch(utc + offset, Qt::UTC)
                         .toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))
                         .toLatin1();
    const int off = std::abs(offset);
    out += offset < 0 ? '-' : '+';
    out += QByteArray::number(off / 3600).rightJustified(2, '0') + ':'
        + QByteArray::number(off / 60 % 60).rightJustified(2, '0');
    return out;
}

QByteArray ReportCsvWriter::write(const Report &report)
{
    QByteArray out = header();
    for (const ReportPeriod &rp : report.periods) {
        const QByteArray start = isoTime(rp.period.startUtc, rp.startOffset);
        for (int s = 0; s < report.sensors; ++s) {
            const SensorPeriod &f = rp.sensors[s];
            out += start + ',' + QByteArray::number(s + 1) + ',';
            appendText(report.sensorName(s), out);
            out += ',' + QByteArray::number(f.records) + ',';
            appendFixed(rp.coveragePercent, 2, out);
            out += ',';
            if (f.records > 0) {
                appendShortest(f.minimum, out);
                out += ',' + isoTime(f.minimumAt.utc, f.minimumAt.offset) + ',';
                appendShortest(f.maximum, out);
                out += ',' + isoTime(f.maximumAt.utc, f.maximumAt.offset) + ',';
                appendFixed(f.mean, 3, out);
                out += ',';
                appendFixed(f.mkt, 3, out);
            } else {
                out += ",,,,,";
            }
            out += ',';
            if (report.limits[s].any()) {
                out += QByteArray::number(f.excursions) + ',';
                appendFixed(f.minutesOutOfRange, 2, out);
            } else {
                out += ',';
            }
            out += "\r\n";
        }
    }
    return out;
}

} // namespace kestrin
