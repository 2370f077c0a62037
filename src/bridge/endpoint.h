#pragma once

#include <QHostAddress>
#include <QString>

namespace kestrin {

// Where to listen, or the broker to connect to.
struct Endpoint
{
    QString host; // a name or an address, IPv6 without brackets
    quint16 port = 0;
    bool tls = false; // mqtts://

    // "host:port", "[::1]:port".
    QString text() const;
};

} // namespace kestrin
