#include "sitevalue.h"

#include "romid.h"

#include <QDir>
#include <QUrl>

#include <cmath>

namespace kestrin {

namespace {

bool isAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }
bool isAsciiLetter(QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool allDigits(QStringView text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), isAsciiDigit);
}

// The first character that has no place in a line of text, if any.
std::optional<char32_t> controlCharacter(QStringView text)
{
    for (const char32_t c : text.toUcs4()) {
        const QChar::Category category = QChar::category(c);
        if (category == QChar::Other_Control || category == QChar::Separator_Line
            || category == QChar::Separator_Paragraph)
            return c;
    }
    return std::nullopt;
}

// An IPv4 address in dotted decimal, four parts, no leading zeros (which
// some resolvers take as octal).
bool isIpv4(QStringView text)
{
    const QList<QStringView> parts = text.split(u'.');
    if (parts.size() != 4)
        return false;
    for (const QStringView part : parts) {
        if (!allDigits(part) || part.size() > 3 || (part.size() > 1 && part.front() == u'0') || part.toInt() > 255)
            return false;
    }
    return true;
}

// A host name of letters, digits and hyphens (RFC 1123); an international
// name goes in its xn-- form. A name whose last label is all digits would be
// read as an address, so that must be an IPv4 address.
bool isHostName(QStringView text)
{
    if (text.isEmpty() || text.size() > 253)
        return false;
    const QList<QStringView> labels = text.split(u'.');
    for (const QStringView label : labels) {
        if (label.isEmpty() || label.size() > 63 || label.front() == u'-' || label.back() == u'-')
            return false;
        for (const QChar c : label) {
            if (!isAsciiLetter(c) && !isAsciiDigit(c) && c != u'-')
                return false;
        }
    }
    return !allDigits(labels.back());
}

bool isIpv6(QStringView text)
{
    if (!text.contains(u':'))
        return false;
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(text.toString(), QUrl::StrictMode);
    return url.isValid() && !url.host().isEmpty();
}

enum class Port { Optional, Required };

Parsed<SiteFile::Endpoint> endpoint(QStringView text, Port port)
{
    const QString shown = SiteValue::quoted(text);
    const auto fail = [&shown](const QString &why) { return Parsed<SiteFile::Endpoint>::fail(shown + why); };
    const QString noHost = QStringLiteral(" is no host name, IPv4 address or [IPv6] address");
    SiteFile::Endpoint result;
    QStringView portText;
    bool hasPort = false;
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(u']');
        const QStringView inner = close < 0 ? QStringView() : text.mid(1, close - 1);
        if (close < 0 || !isIpv6(inner))
            return fail(noHost);
        result.host = inner.toString().toLower();
        const QStringView rest = text.mid(close + 1);
        if (!rest.isEmpty()) {
            if (rest.front() != u':')
                return fail(noHost);
            hasPort = true;
            portText = rest.mid(1);
        }
    } else {
        if (text.count(u':') > 1)
            return fail(isIpv6(text) ? QStringLiteral(" is an IPv6 address without brackets: write [") + text.toString() + u']'
                                     : noHost);
        const qsizetype colon = text.indexOf(u':');
        const QStringView host = colon < 0 ? text : text.left(colon);
        if (!isIpv4(host) && !isHostName(host))
            return fail(noHost);
        result.host = host.toString();
        if (colon >= 0) {
            hasPort = true;
            portText = text.mid(colon + 1);
        }
    }
    if (!hasPort) {
        if (port == Port::Required)
            return fail(QStringLiteral(" has no port"));
        return {result, {}};
    }
    if (portText.isEmpty())
        return fail(QStringLiteral(" has an empty port"));
    if (!allDigits(portText))
        return fail(QStringLiteral(" has port ") + SiteValue::quoted(portText) + QStringLiteral(", which is not a number"));
    const qlonglong number = portText.size() > 9 ? 0 : portText.toLongLong();
    if (number < 1 || number > 65535)
        return fail(QStringLiteral(" has port ") + portText.toString() + QStringLiteral(", outside 1..65535"));
    result.port = static_cast<quint16>(number);
    return {result, {}};
}

// A plain decimal: an optional minus, digits, and "." with more digits.
std::optional<double> decimal(QStringView text)
{
    const QStringView magnitude = text.startsWith(u'-') ? text.mid(1) : text;
    const qsizetype point = magnitude.indexOf(u'.');
    if (!allDigits(magnitude.left(point)) || (point >= 0 && !allDigits(magnitude.mid(point + 1))))
        return std::nullopt;
    bool ok = false;
    const double value = text.toDouble(&ok); // the C locale, always
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QString number(double value)
{
    return QString::number(value, 'g', 17);
}

} // namespace

QString SiteValue::codePoint(char32_t c)
{
    return QStringLiteral("U+") + QString::number(uint(c), 16).rightJustified(4, u'0').toUpper();
}

QString SiteValue::quoted(QStringView text)
{
    constexpr qsizetype limit = 40;
    if (text.size() > limit)
        return u'"' + text.left(limit).toString() + QStringLiteral("...\"");
    return u'"' + text.toString() + u'"';
}

Parsed<QString> SiteValue::romId(QStringView text)
{
    const bool ascii = std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
    const QByteArray latin = ascii ? text.toLatin1() : QByteArray();
    const RomId::Check check = RomId::check(std::string_view(latin.constData(), std::size_t(latin.size())));
    const QString upper = text.toString().toUpper();
    const auto hex = [](std::uint8_t byte) { return QStringLiteral("%1").arg(uint(byte), 2, 16, QLatin1Char('0')).toUpper(); };
    if (!ascii || check.fault == RomId::Fault::Length || check.fault == RomId::Fault::NotHex)
        return Parsed<QString>::fail(quoted(text) + QStringLiteral(" is not 16 hex digits"));
    if (check.fault == RomId::Fault::Family)
        return Parsed<QString>::fail(upper + QStringLiteral(": family ") + hex(check.family)
                                     + QStringLiteral(" is not a DS18B20's (28)"));
    if (check.fault == RomId::Fault::Crc)
        return Parsed<QString>::fail(upper + QStringLiteral(": CRC-8 ") + hex(check.written)
                                     + QStringLiteral(" does not match ") + hex(check.computed)
                                     + QStringLiteral(", computed from the other digits"));
    return {upper, {}};
}

Parsed<QString> SiteValue::name(QStringView text)
{
    if (const std::optional<char32_t> c = controlCharacter(text))
        return Parsed<QString>::fail(QStringLiteral("holds a control character (") + SiteValue::codePoint(*c) + u')');
    const qsizetype length = text.toUcs4().size();
    if (length > SiteFile::MaxNameLength)
        return Parsed<QString>::fail(QStringLiteral("is %1 characters long; at most %2")
                                         .arg(length)
                                         .arg(SiteFile::MaxNameLength));
    return {text.toString(), {}};
}

Parsed<SiteFile::Endpoint> SiteValue::gatewayHost(QStringView text)
{
    return endpoint(text, Port::Optional);
}

Parsed<std::optional<SiteFile::Endpoint>> SiteValue::listenAddress(QStringView text)
{
    using Result = Parsed<std::optional<SiteFile::Endpoint>>;
    if (text == u"off")
        return {std::optional<SiteFile::Endpoint>(), {}};
    Parsed<SiteFile::Endpoint> parsed = endpoint(text, Port::Required);
    if (!parsed.value)
        return Result::fail(parsed.problem + QStringLiteral(" (host:port, [IPv6]:port or off)"));
    return {std::optional<SiteFile::Endpoint>(*parsed.value), {}};
}

Parsed<SiteFile::Broker> SiteValue::broker(QStringView text)
{
    SiteFile::Broker result;
    QStringView rest;
    if (text.startsWith(u"mqtt://")) {
        rest = text.mid(7);
    } else if (text.startsWith(u"mqtts://")) {
        result.tls = true;
        rest = text.mid(8);
    } else {
        return Parsed<SiteFile::Broker>::fail(quoted(text) + QStringLiteral(" is not mqtt://host[:port] or mqtts://host[:port]"));
    }
    if (rest.contains(u'@'))
        return Parsed<SiteFile::Broker>::fail(quoted(text)
                                              + QStringLiteral(" carries credentials: they go in username and password_file"));
    if (rest.contains(u'/') || rest.contains(u'?') || rest.contains(u'#'))
        return Parsed<SiteFile::Broker>::fail(quoted(text) + QStringLiteral(" is not mqtt://host[:port] or mqtts://host[:port]"));
    Parsed<SiteFile::Endpoint> parsed = endpoint(rest, Port::Optional);
    if (!parsed.value)
        return Parsed<SiteFile::Broker>::fail(parsed.problem);
    result.endpoint = *parsed.value;
    if (result.endpoint.port == 0)
        result.endpoint.port = result.tls ? 8883 : 1883;
    return {result, {}};
}

Parsed<QString> SiteValue::absolutePath(QStringView text)
{
    if (const std::optional<char32_t> c = controlCharacter(text))
        return Parsed<QString>::fail(QStringLiteral("holds a control character (") + SiteValue::codePoint(*c) + u')');
    if (!text.startsWith(u'/'))
        return Parsed<QString>::fail(quoted(text) + QStringLiteral(" is not an absolute path"));
    return {QDir::cleanPath(text.toString()), {}};
}

Parsed<QString> SiteValue::text(QStringView text)
{
    if (const std::optional<char32_t> c = controlCharacter(text))
        return Parsed<QString>::fail(QStringLiteral("holds a control character (") + SiteValue::codePoint(*c) + u')');
    return {text.toString(), {}};
}

Parsed<QString> SiteValue::siteId(QStringView text)
{
    const bool plain = std::all_of(text.begin(), text.end(), [](QChar c) {
        return isAsciiLetter(c) || isAsciiDigit(c) || c == u'-' || c == u'_';
    });
    if (!plain)
        return Parsed<QString>::fail(quoted(text) + QStringLiteral(" may hold only letters, digits, - and _"));
    if (text.size() > MaxSiteIdLength)
        return Parsed<QString>::fail(QStringLiteral("is %1 characters long; at most %2").arg(text.size()).arg(MaxSiteIdLength));
    return {text.toString(), {}};
}

Parsed<QString> SiteValue::topicPrefix(QStringView text)
{
    const QString why = quoted(text) + QStringLiteral(" is no MQTT topic prefix (levels joined by /, none empty, no + or #)");
    if (controlCharacter(text) || text.contains(u'+') || text.contains(u'#'))
        return Parsed<QString>::fail(why);
    for (const QStringView level : text.split(u'/')) {
        if (level.isEmpty())
            return Parsed<QString>::fail(why);
    }
    return {text.toString(), {}};
}

Parsed<double> SiteValue::celsius(QStringView text)
{
    const std::optional<double> value = decimal(text);
    if (!value)
        return Parsed<double>::fail(quoted(text) + QStringLiteral(" is not a temperature in °C (digits, \".\" as the decimal point)"));
    if (*value < MinCelsius || *value > MaxCelsius)
        return Parsed<double>::fail(text.toString() + QStringLiteral(" is outside the DS18B20's range -55..125 °C"));
    return {*value, {}};
}

Parsed<double> SiteValue::celsiusDifference(QStringView text)
{
    const std::optional<double> value = decimal(text);
    if (!value)
        return Parsed<double>::fail(quoted(text) + QStringLiteral(" is not a temperature difference in °C (digits, \".\" as the decimal point)"));
    if (*value < 0 || *value > MaxCelsius - MinCelsius)
        return Parsed<double>::fail(text.toString() + QStringLiteral(" is outside 0..180 °C"));
    return {*value, {}};
}

Parsed<double> SiteValue::minutes(QStringView text)
{
    const std::optional<double> value = decimal(text);
    if (!value)
        return Parsed<double>::fail(quoted(text) + QStringLiteral(" is not a number of minutes (digits, \".\" as the decimal point)"));
    if (*value <= 0)
        return Parsed<double>::fail(text.toString() + QStringLiteral(" is not above 0"));
    if (*value > MaxMinutes)
        return Parsed<double>::fail(text.toString() + QStringLiteral(" is more than a year (%1 minutes)").arg(number(MaxMinutes)));
    return {*value, {}};
}

Parsed<int> SiteValue::records(QStringView text)
{
    if (!allDigits(text))
        return Parsed<int>::fail(quoted(text) + QStringLiteral(" is not a whole number of records"));
    const int value = text.size() > 6 ? MaxDelay + 1 : text.toInt();
    if (value < 1 || value > MaxDelay)
        return Parsed<int>::fail(text.toString() + QStringLiteral(" is outside 1..%1 records").arg(MaxDelay));
    return {value, {}};
}

} // namespace kestrin
