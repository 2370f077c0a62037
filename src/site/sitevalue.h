#pragma once

#include "sitefile.h"

#include <QString>
#include <QStringView>

#include <optional>

namespace kestrin {

// A key's value, read and checked, or what is wrong with it: a phrase that
// follows the key's name in the message ("low" + " \"x\" is not a number").
template <typename T>
struct Parsed
{
    std::optional<T> value;
    QString problem;

    static Parsed fail(QString why) { return Parsed{std::nullopt, std::move(why)}; }
};

// The kinds of value a site file holds. Numbers take "." as the decimal
// point whatever the locale: a file means the same on every machine.
class SiteValue final
{
public:
    static constexpr double MinCelsius = -55;  // the DS18B20's range
    static constexpr double MaxCelsius = 125;
    static constexpr double MaxMinutes = 525600; // a year
    static constexpr int MaxDelay = 10000;
    static constexpr int MaxSiteIdLength = 64;

    static Parsed<QString> romId(QStringView text);
    static Parsed<QString> name(QStringView text);
    // host, host:port, [IPv6] or [IPv6]:port.
    static Parsed<SiteFile::Endpoint> gatewayHost(QStringView text);
    // host:port, [IPv6]:port or off.
    static Parsed<std::optional<SiteFile::Endpoint>> listenAddress(QStringView text);
    // mqtt://host[:port] or mqtts://host[:port].
    static Parsed<SiteFile::Broker> broker(QStringView text);
    static Parsed<QString> absolutePath(QStringView text);
    static Parsed<QString> text(QStringView text);
    // Letters, digits, - and _: safe as an MQTT topic level and a label value.
    static Parsed<QString> siteId(QStringView text);
    static Parsed<QString> topicPrefix(QStringView text);
    static Parsed<double> celsius(QStringView text);
    static Parsed<double> celsiusDifference(QStringView text);
    static Parsed<double> minutes(QStringView text);
    static Parsed<int> records(QStringView text);

    // A value as a message shows it: in quotes, cut after 40 characters.
    static QString quoted(QStringView text);
    // "U+0009".
    static QString codePoint(char32_t c);
};

} // namespace kestrin
