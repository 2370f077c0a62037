#pragma once

#include <QString>

#include <array>
#include <optional>
#include <vector>

namespace kestrin {

// The fixed, ordered list of request URLs, one per sensor, and the readings
// taken through them. The order is the sensor number (index + 1) and the
// column order of every log record.
class SensorTable final
{
public:
    static constexpr qint16 SlotCount = 14;
    static constexpr qint16 DefaultSensorCount = 11; // BuiltInTable::SensorCount

    SensorTable();

    // Fills slots 0 to 12 from the built-in ROM ids; slot 13 stays empty.
    void fill(const QString &host);
    // Fills slot i from romIds[i], a site's sensors; at most slots 0 to 12
    // are filled, so slot 13 stays empty here too.
    void fill(const QString &host, const std::vector<QString> &romIds);

    // Checked access: an index outside 0..13 is an error (nullopt / false),
    // never undefined behaviour.
    std::optional<QString> url(qint16 slot) const;
    std::optional<float> reading(qint16 slot) const;
    bool setReading(qint16 slot, float value);

    // The gateway host every URL of this build uses.
    static QString builtInHost();
    static QString urlFor(const QString &host, const QString &romId);
    // The ROM ids of slots 0 to 12, in slot order.
    static const std::array<const char *, 13> &romIds();
    static std::vector<QString> builtInRomIds();

private:
    std::array<QString, SlotCount> m_urls;
    std::array<float, SlotCount> m_readings{};
};

} // namespace kestrin
