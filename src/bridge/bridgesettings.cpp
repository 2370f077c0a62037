#include "bridgesettings.h"

#include "sensortable.h"

namespace kestrin {

BridgeSettings BridgeSettings::builtIn()
{
    BridgeSettings settings;
    const auto &ids = SensorTable::romIds();
    for (int i = 0; i < SensorTable::DefaultSensorCount; ++i) {
        SensorSettings sensor;
        sensor.number = i + 1;
        sensor.rom = QString::fromLatin1(ids[std::size_t(i)]);
        settings.sensors.push_back(sensor);
    }
    return settings;
}

} // namespace kestrin
