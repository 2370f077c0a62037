#include "builtsite.h"

#include "sensortable.h"

namespace kestrin {

QString BuiltSite::gatewayHost()
{
    return SensorTable::builtInHost();
}

std::vector<QString> BuiltSite::romIds()
{
    return SensorTable::builtInRomIds();
}

qint16 BuiltSite::sensorCount()
{
    return SensorTable::DefaultSensorCount;
}

} // namespace kestrin
