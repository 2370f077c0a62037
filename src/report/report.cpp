#include "report.h"

namespace kestrin {

namespace {

const SiteFile::Sensor *known(const std::optional<SiteFile> &site, int sensor)
{
    return site ? site->sensor(sensor + 1) : nullptr;
}

} // namespace

QString Report::sensorName(int sensor) const
{
    const SiteFile::Sensor *s = known(site, sensor);
    return s ? s->name : QString();
}

QString Report::sensorLabel(int sensor) const
{
    return SiteFile::label(sensor + 1, sensorName(sensor));
}

QString Report::sensorRom(int sensor) const
{
    const SiteFile::Sensor *s = known(site, sensor);
    return s ? s->rom : QString();
}

} // namespace kestrin
