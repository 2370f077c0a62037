#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace kestrin {

// What a site file says: the gateway, the sensors with their ROM ids and
// names, and the settings of kestrin-bridge. Every value has been checked by
// SiteReader; the defaults below are what a key left out means.
class SiteFile final
{
public:
    static constexpr int MaxSensors = 11;
    static constexpr int MaxNameLength = 40;

    // host, host:port or [IPv6]:port; port 0 when none was written.
    struct Endpoint
    {
        QString host; // a name, an IPv4 address, or an IPv6 address without brackets
        quint16 port = 0;

        // As it goes into a URL: the host (IPv6 in brackets), then :port if any.
        QString authority() const;
        bool operator==(const Endpoint &) const = default;
    };

    struct Broker
    {
        bool tls = false; // mqtts://
        Endpoint endpoint; // the port is always set: 1883 or 8883 unless written
        bool operator==(const Broker &) const = default;
    };

    struct Sensor
    {
        int number = 0; // 1..MaxSensors
        QString rom;    // 16 upper-case hex digits
        QString name;   // empty: none
        std::optional<double> low;  // °C
        std::optional<double> high; // °C
        double hysteresis = 0.5;    // °C
        int delay = 2;              // records the condition must hold
        double silentAfterMinutes = 60;
    };

    struct Bridge
    {
        QString site; // the site's id; empty: siteId() derives one
        std::optional<Endpoint> listen = Endpoint{QStringLiteral("127.0.0.1"), 9731}; // nullopt: off
        std::optional<Broker> mqtt;  // nullopt: no MQTT
        QString caFile;              // empty: the system's CAs
        QString username;            // empty: none
        QString passwordFile;        // empty: none
        QString discoveryPrefix = QStringLiteral("homeassistant");
        double staleAfterMinutes = 5;
        QString onAlarm;             // empty: no command
    };

    QString fileName; // as it was given to the reader
    Endpoint gateway;
    std::vector<Sensor> sensors; // sensor n at index n - 1
    Bridge bridge;

    int sensorCount() const { return static_cast<int>(sensors.size()); }
    // nullptr for a number the file does not have.
    const Sensor *sensor(int number) const;

    // How the programs name sensor `number`: "1 Freezer 2" with a name,
    // "Sensor 1" without one or beyond the file's sensors.
    QString label(int number) const;
    static QString label(int number, const QString &name);

    // [bridge] site when given, else the file's base name with everything
    // but letters, digits, - and _ turned into -: "lab-a" for lab-a.ini.
    QString siteId() const;
};

} // namespace kestrin
