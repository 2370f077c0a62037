#pragma once

#include <QByteArray>

namespace kestrin {

struct Report;

// The report for machines: RFC 4180, one row per period and sensor, "."
// as the decimal point, times in ISO 8601 with their UTC offset. Fields a
// period has no figure for are empty: min to mkt without records, the
// excursion fields for a sensor without limits.
class ReportCsvWriter final
{
public:
    static QByteArray header();
    static QByteArray write(const Report &report);
    // "2026-12-08T10:45:41+01:00"
    static QByteArray isoTime(qint64 utc, int offset);
};

} // namespace kestrin
