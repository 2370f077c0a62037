#include "readrequest.h"

#include "gatewaysimulator.h"
#include "romid.h"

#include <cctype>
#include <optional>

namespace kestrin::sim {

namespace {

// Percent-decoding without turning '+' into a space: the gateway's query
// values never carry spaces, and a '+' there is a client bug worth seeing.
std::optional<std::string> percentDecode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const int hi = hexDigitValue(text[i + 1]);
        const int lo = hexDigitValue(text[i + 2]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return out;
}

std::string quoted(std::string_view text)
{
    constexpr std::size_t limit = 80;
    std::string out = "\"";
    out += text.substr(0, limit);
    if (text.size() > limit)
        out += "...";
    out += '"';
    return out;
}

} // namespace

ReadRequest ReadRequest::failure(int status, std::string problem)
{
    ReadRequest r;
    r.m_status = status;
    r.m_problem = std::move(problem);
    return r;
}

ReadRequest ReadRequest::parse(std::string_view target)
{
    const std::size_t q = target.find('?');
    const std::string_view rawPath = target.substr(0, q);
    const std::string_view query = q == std::string_view::npos ? std::string_view{} : target.substr(q + 1);

    const auto path = percentDecode(rawPath);
    if (!path || *path != Path)
        return failure(404, "no such page: " + quoted(rawPath));

    std::optional<std::string> value;
    for (std::size_t begin = 0; begin <= query.size() && !value;) {
        std::size_t end = query.find('&', begin);
        if (end == std::string_view::npos)
            end = query.size();
        const std::string_view field = query.substr(begin, end - begin);
        const std::size_t eq = field.find('=');
        const auto name = percentDecode(field.substr(0, eq));
        if (name && *name == Key) {
            if (eq == std::string_view::npos)
                return failure(400, "request parameter DS18B20Request has no value");
            value = percentDecode(field.substr(eq + 1));
            if (!value)
                return failure(400, "bad percent-encoding in DS18B20Request: " + quoted(field.substr(eq + 1)));
        }
        begin = end + 1;
    }
    if (!value)
        return failure(400, "missing request parameter DS18B20Request");

    const std::string &v = *value;
    const std::size_t comma = v.find(',');
    if (v.size() < 2 || v.front() != '{' || v.back() != '}' || comma == std::string::npos
        || v.find(',', comma + 1) != std::string::npos)
        return failure(400, "malformed DS18B20Request " + quoted(v) + ", expected {ROMID,RES}");

    const std::string_view inner = std::string_view(v).substr(1, v.size() - 2);
    const std::string_view rom = inner.substr(0, comma - 1);
    const std::string_view res = inner.substr(comma);

    std::string why;
    if (!isValidRomId(rom, &why))
        return failure(400, "bad ROM id " + quoted(rom) + ": " + why);

    if (res.empty() || res.size() > 2 || !std::isdigit(static_cast<unsigned char>(res[0]))
        || (res.size() == 2 && !std::isdigit(static_cast<unsigned char>(res[1]))))
        return failure(400, "bad resolution " + quoted(res) + ": expected 9, 10, 11 or 12 bits");
    const int bits = res.size() == 1 ? res[0] - '0' : (res[0] - '0') * 10 + (res[1] - '0');
    if (bits < 9 || bits > 12)
        return failure(400, "bad resolution " + quoted(res) + ": expected 9, 10, 11 or 12 bits");

    ReadRequest r;
    r.m_romId.reserve(rom.size());
    for (const char c : rom)
        r.m_romId += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    r.m_resolution = bits;
    return r;
}

int hexDigitValue(char c)
{
    return RomId::hexValue(c);
}

} // namespace kestrin::sim
