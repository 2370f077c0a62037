#pragma once

#include "bridgesnapshot.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace kestrin {

// The bridge's state in the Prometheus text format (version 0.0.4) or in
// OpenMetrics 1.0.0, whichever the scraper's Accept header prefers.
class MetricsExposition final
{
public:
    enum class Format { Text, OpenMetrics };

    static Format negotiate(QByteArrayView accept);
    static QByteArray contentType(Format format);
    static QByteArray render(const BridgeSnapshot &snapshot, const MqttStatus &mqtt, Format format,
                             const QString &version);

    // A label value with \, " and line feeds escaped.
    static QByteArray escapeLabel(const QString &value);
};

} // namespace kestrin
