#include "romid.h"

#include <array>

namespace kestrin {

int RomId::hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

RomId::Check RomId::check(std::string_view text)
{
    Check result;
    if (text.size() != Digits) {
        result.fault = Fault::Length;
        return result;
    }
    // Text order: CRC, serial (most significant byte first), family.
    std::array<std::uint8_t, 8> bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const int hi = hexValue(text[2 * i]);
        const int lo = hexValue(text[2 * i + 1]);
        if (hi < 0 || lo < 0) {
            result.fault = Fault::NotHex;
            result.position = hi < 0 ? 2 * i + 1 : 2 * i + 2;
            return result;
        }
        bytes[i] = static_cast<std::uint8_t>(hi * 16 + lo);
    }
    if (bytes[7] != Ds18b20Family) {
        result.fault = Fault::Family;
        result.family = bytes[7];
        return result;
    }
    // On the bus the family code comes first and the CRC last: the reverse.
    std::array<std::uint8_t, 7> bus{};
    for (std::size_t i = 0; i < bus.size(); ++i)
        bus[i] = bytes[7 - i];
    const std::uint8_t computed = crc8(bus.data(), bus.size());
    if (computed != bytes[0]) {
        result.fault = Fault::Crc;
        result.written = bytes[0];
        result.computed = computed;
    }
    return result;
}

std::uint8_t RomId::crc8(const std::uint8_t *data, std::size_t length)
{
    std::uint8_t crc = 0;
    for (std::size_t i = 0; i < length; ++i) {
        std::uint8_t byte = data[i];
        for (int bit = 0; bit < 8; ++bit) {
            const bool mix = ((crc ^ byte) & 1) != 0;
            crc = static_cast<std::uint8_t>(crc >> 1);
            if (mix)
                crc ^= 0x8C;
            byte = static_cast<std::uint8_t>(byte >> 1);
        }
    }
    return crc;
}

} // namespace kestrin
