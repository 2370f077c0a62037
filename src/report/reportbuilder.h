#pragma once

#include "periodsplitter.h"
#include "report.h"

#include <QDate>

#include <optional>

namespace kestrin {

class LogSeries;

// Works out a report's figures from the records of a log: per period and
// sensor the records, the coverage, the minimum and maximum with their
// times, the mean, the mean kinetic temperature, the excursions and the
// flat runs. No figure is made up for a time without records.
class ReportBuilder final
{
public:
    // Chart columns per period: a minimum and a maximum each.
    static constexpr int TraceColumns = 400;

    explicit ReportBuilder(const PeriodSplitter &splitter);

    // Without `from` or `to`, the range starts or ends with the log's
    // first or last local date.
    Report build(const LogSeries &series, const std::optional<SiteFile> &site, PeriodKind kind, std::optional<QDate> from,
                 std::optional<QDate> to) const;

private:
    SensorPeriod sensorPeriod(const LogSeries &series, const Report &report, int sensor, const ReportPeriod &period,
                              const QList<LogSeries::FlatRun> &flatRuns, const QList<LogSeries::Gap> &gaps) const;

    const PeriodSplitter &m_splitter;
};

} // namespace kestrin
