#include "bridgesettings.h"

#include "builtintable.h"
#include "sitefile.h"

namespace kestrin {

BridgeSettings BridgeSettings::fromSite(const SiteFile &site)
{
    BridgeSettings settings;
    const SiteFile::Bridge &b = site.bridge;
    settings.site = site.siteId();
    if (b.listen)
        settings.listen = Endpoint{b.listen->host, b.listen->port, false};
    else
        settings.listen.reset();
    if (b.mqtt)
        settings.mqtt = Endpoint{b.mqtt->endpoint.host, b.mqtt->endpoint.port, b.mqtt->tls};
    settings.caFile = b.caFile;
    settings.username = b.username;
    settings.passwordFile = b.passwordFile;
    settings.discoveryPrefix = b.discoveryPrefix;
    settings.staleAfterMinutes = b.staleAfterMinutes;
    settings.onAlarm = b.onAlarm;
    for (const SiteFile::Sensor &s : site.sensors)
        settings.sensors.push_back(
            {s.number, s.rom, s.name, s.low, s.high, s.hysteresis, s.delay, s.silentAfterMinutes});
    return settings;
}

BridgeSettings BridgeSettings::builtIn()
{
    SiteFile site;
    const auto &ids = BuiltInTable::romIds();
    for (int i = 0; i < BuiltInTable::SensorCount; ++i) {
        SiteFile::Sensor sensor;
        sensor.number = i + 1;
        sensor.rom = QString::fromLatin1(ids[std::size_t(i)]);
        site.sensors.push_back(sensor);
    }
    return fromSite(site);
}

} // namespace kestrin
