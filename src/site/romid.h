#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kestrin {

// A DS18B20's 64-bit 1-Wire ROM code the way the gateway's URLs write it:
// 16 hex digits, most significant byte first: the CRC-8, the 48-bit serial
// number, the family code 28. The CRC covers the other seven bytes in bus
// order (family code first, then the serial from its least significant
// byte up). Plain C++, so that the simulator checks ids with the same code.
class RomId final
{
public:
    static constexpr std::size_t Digits = 16;
    static constexpr std::uint8_t Ds18b20Family = 0x28;

    enum class Fault { None, Length, NotHex, Family, Crc };

    struct Check
    {
        Fault fault = Fault::None;
        std::size_t position = 0;  // Fault::NotHex: 1-based place of the first bad digit
        std::uint8_t family = 0;   // Fault::Family: the family code written
        std::uint8_t written = 0;  // Fault::Crc: the CRC the id carries
        std::uint8_t computed = 0; // Fault::Crc: the CRC of its other bytes

        bool ok() const { return fault == Fault::None; }
    };

    // Hex digits of either case.
    static Check check(std::string_view text);
    // 0-15 for a hex digit of either case, -1 for anything else.
    static int hexValue(char c);

    // The Dallas/Maxim 1-Wire CRC-8 (x^8 + x^5 + x^4 + 1, reflected, initial 0).
    static std::uint8_t crc8(const std::uint8_t *data, std::size_t length);
};

} // namespace kestrin
