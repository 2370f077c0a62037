#pragma once

#include "endpoint.h"

#include <QString>

#include <optional>
#include <vector>

namespace kestrin {

class SiteFile;

// One sensor as the bridge knows it: its column in the log (number - 1), its
// identity and its alarm limits.
struct SensorSettings
{
    int number = 0;
    QString rom;
    QString name;
    std::optional<double> low;
    std::optional<double> high;
    double hysteresis = 0.5;
    int delay = 2; // records the condition must hold
    std::optional<double> silentAfterMinutes;
};

// What the bridge does, from the [bridge] section and the sensor sections of
// the site file; without a site file, builtIn().
struct BridgeSettings
{
    QString site;
    std::optional<Endpoint> listen = Endpoint{QStringLiteral("127.0.0.1"), 9731, false}; // nullopt: off
    std::optional<Endpoint> mqtt;                                                       // nullopt: no MQTT
    QString caFile;
    QString username;
    QString passwordFile;
    QString discoveryPrefix = QStringLiteral("homeassistant");
    std::optional<double> staleAfterMinutes = 5.0;
    QString onAlarm;
    std::vector<SensorSettings> sensors;

    static BridgeSettings fromSite(const SiteFile &site);
    // Without a site file: the built-in sensor table, without names or
    // limits, and every key's default.
    static BridgeSettings builtIn();
};

} // namespace kestrin
