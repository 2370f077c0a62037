#pragma once

#include "excursionfinder.h"
#include "logseries.h"
#include "periodsplitter.h"
#include "sitefile.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPointF>
#include <QString>

#include <optional>
#include <vector>

namespace kestrin {

struct Moment
{
    qint64 utc = 0;
    int offset = 0; // seconds east of UTC
};

// What one sensor did in one period.
struct SensorPeriod
{
    qint64 records = 0;
    float minimum = 0, maximum = 0;
    Moment minimumAt, maximumAt; // the first record with that value
    double mean = 0, mkt = 0;
    // Only for a sensor with limits: the stretches outside that meet the
    // period (indexes into Report::excursions), and the minutes of each that
    // fall inside it.
    int excursions = 0;
    double minutesOutOfRange = 0;
    QList<qsizetype> excursionIndexes;
    QList<double> excursionMinutes;
    QList<LogSeries::FlatRun> flatRuns;
    // The line to draw, seconds from the period's start against °C, one
    // polyline per stretch between gaps, thinned to a minimum and a maximum
    // per chart column.
    QList<QList<QPointF>> trace;
};

struct ReportPeriod
{
    Period period;
    int startOffset = 0;
    double coveragePercent = 0;
    QList<LogSeries::Gap> gaps; // those that meet the period
    std::vector<SensorPeriod> sensors;
};

// Where the records came from, so that a report can be tied to them.
struct ReportSource
{
    QString fileName;
    QByteArray sha256; // hex
    qint64 bytes = 0;  // how much of the file the hash covers
    qint64 linesSkipped = 0;
    QDateTime made;
};

struct Report
{
    std::optional<SiteFile> site; // none without a site file
    ReportSource source;
    QString zone; // the time zone the times are in
    int sensors = 0;
    std::vector<Limits> limits;
    std::vector<QList<Excursion>> excursions;
    QList<ReportPeriod> periods;
    Moment firstRecord, lastRecord; // of the whole log

    // The site file names a different number of sensors than the log has.
    bool siteDisagrees() const { return site && site->sensorCount() != sensors; }
    // The site's id, empty without a site file.
    QString siteName() const { return site ? site->siteId() : QString(); }
    QString sensorName(int sensor) const;
    // "3 Freezer 2", or "Sensor 3" without a name.
    QString sensorLabel(int sensor) const;
    QString sensorRom(int sensor) const;
};

} // namespace kestrin
