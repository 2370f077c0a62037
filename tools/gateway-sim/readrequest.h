#pragma once

#include <string>
#include <string_view>

namespace kestrin::sim {

// 0..15 for a hex digit of either case, -1 for anything else.
int hexDigitValue(char c);

// One DS18B20 read as asked for in a request target:
// /1Wire/ReadDS18B20.html?DS18B20Request={ROMID,RES}, with the braces and
// the comma plain or percent-encoded (hex digits of either case).
class ReadRequest final {
public:
    static constexpr std::string_view Path = "/1Wire/ReadDS18B20.html";
    static constexpr std::string_view Key = "DS18B20Request";

    // Parses a raw request target. On failure status() is 404 or 400 and
    // problem() says what is wrong, in words fit for the error page.
    static ReadRequest parse(std::string_view target);

    bool ok() const { return m_status == 200; }
    int status() const { return m_status; }
    const std::string &problem() const { return m_problem; }
    const std::string &romId() const { return m_romId; }   // upper case
    int resolution() const { return m_resolution; }        // 9..12

private:
    static ReadRequest failure(int status, std::string problem);

    int m_status = 200;
    std::string m_problem;
    std::string m_romId;
    int m_resolution = 0;
};

} // namespace kestrin::sim
