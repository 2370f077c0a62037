#include "report.h"

#include <QCoreApplication>

namespace kestrin {

QString Report::sensorName(int sensor) const
{
    return sensor >= 0 && sensor < int(site.sensors.size()) ? site.sensors[sensor].name : QString();
}

QString Report::sensorLabel(int sensor) const
{
    const QString name = sensorName(sensor);
    if (name.isEmpty())
        return QCoreApplication::translate("Report", "Sensor %1").arg(sensor + 1);
    return QStringLiteral("%1 %2").arg(sensor + 1).arg(name);
}

QString Report::sensorRom(int sensor) const
{
    return sensor >= 0 && sensor < int(site.sensors.size()) ? site.sensors[sensor].rom : QString();
}

} // namespace kestrin
