#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace kestrin {

// What a report needs to know of the site: each sensor's name, ROM id and
// allowed range, in the order of the log's columns.
struct ReportSensor
{
    QString name;
    QString rom;
    std::optional<double> low, high; // °C, both inclusive
};

struct ReportSite
{
    QString title;     // the site's name; empty without a site file
    QString path;      // the site file read; empty without one
    std::vector<ReportSensor> sensors;
};

} // namespace kestrin
