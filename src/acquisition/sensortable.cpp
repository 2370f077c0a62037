#include "sensortable.h"

#include "builtintable.h"

#include <algorithm>

namespace kestrin {

namespace {
bool inRange(qint16 slot) { return slot >= 0 && slot < SensorTable::SlotCount; }
} // namespace

SensorTable::SensorTable() = default;

const std::array<const char *, 13> &SensorTable::romIds()
{
    return BuiltInTable::romIds();
}

QString SensorTable::builtInHost()
{
    return QStringLiteral(KESTRIN_GATEWAY_HOST);
}

QString SensorTable::urlFor(const QString &host, const QString &romId)
{
    // Braces as lower-case escapes and a plain comma: gateway firmware may
    // compare the query text literally, so these bytes go out unchanged.
    return QStringLiteral("http://") + host + QStringLiteral("/1Wire/ReadDS18B20.html?DS18B20Request=%7b")
        + romId + QStringLiteral(",12%7d");
}

std::vector<QString> SensorTable::builtInRomIds()
{
    std::vector<QString> ids;
    for (const char *id : romIds())
        ids.push_back(QString::fromLatin1(id));
    return ids;
}

void SensorTable::fill(const QString &host)
{
    fill(host, builtInRomIds());
}

void SensorTable::fill(const QString &host, const std::vector<QString> &romIds)
{
    const std::size_t filled = std::min(romIds.size(), std::size_t(SlotCount - 1));
    for (std::size_t i = 0; i < filled; ++i)
        m_urls[i] = urlFor(host, romIds[i]);
}

std::optional<QString> SensorTable::url(qint16 slot) const
{
    if (!inRange(slot))
        return std::nullopt;
    return m_urls[static_cast<std::size_t>(slot)];
}

std::optional<float> SensorTable::reading(qint16 slot) const
{
    if (!inRange(slot))
        return std::nullopt;
    return m_readings[static_cast<std::size_t>(slot)];
}

bool SensorTable::setReading(qint16 slot, float value)
{
    if (!inRange(slot))
        return false;
    m_readings[static_cast<std::size_t>(slot)] = value;
    return true;
}

} // namespace kestrin
