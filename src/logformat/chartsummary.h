#pragma once

#include "logseries.h"

#include <QLocale>
#include <QString>
#include <QStringList>

#include <vector>

namespace kestrin {

// What a chart of a log shows, in words, for someone who cannot see it:
// the log, the time range, how many records fall in it, and each shown
// sensor's minimum and maximum there. Read from the series' min/max blocks,
// so a year of records costs no more than a screenful.
class ChartSummary final
{
public:
    struct View
    {
        QString logName;
        double fromMsecs = 0, toMsecs = 0;
        QStringList names;       // per sensor, as the legend shows them
        std::vector<bool> shown; // per sensor; missing ones count as shown
    };
    static QString describe(const LogSeries &series, const View &view, const QLocale &locale);
};

} // namespace kestrin
