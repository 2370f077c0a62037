#include "gatewaypages.h"

#include <array>
#include <charconv>

namespace kestrin::sim {

std::string GatewayPages::reading(std::string_view romId, int resolution,
                                  const std::optional<std::string> &value, std::size_t minBytes)
{
    const std::string rom = escape(romId);
    std::string head;
    head += "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n"
            "<html>\r\n<head>\r\n"
            "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">\r\n"
            "<title>1-Wire Gateway - Read DS18B20</title>\r\n"
            "</head>\r\n<body>\r\n"
            "<h2>DS18B20 Temperature</h2>\r\n";

    std::string form;
    form += "<form name=\"DS18B20Form\" id=\"DS18B20Form\" method=\"get\" action=\"/1Wire/ReadDS18B20.html\">\r\n"
            "<table border=\"0\">\r\n"
            "<tr><td>ROM Id</td><td><input type=\"text\" id=\"ROMId_0\" name=\"ROMId_0\" value=\"";
    form += rom;
    form += "\" readonly></td></tr>\r\n"
            "<tr><td>Resolution</td><td><input type=\"text\" id=\"Resolution_0\" name=\"Resolution_0\" value=\"";
    form += std::to_string(resolution);
    form += "\" readonly></td></tr>\r\n";
    if (value) {
        form += "<tr><td>Temperature</td><td><input type=\"text\" id=\"Temperature_0\" name=\"Temperature_0\" value=\"";
        form += escape(*value);
        form += "\" readonly> &deg;C</td></tr>\r\n";
    }
    form += "</table>\r\n</form>\r\n</body>\r\n</html>\r\n";

    std::string page = std::move(head);
    const std::size_t bare = page.size() + form.size();
    if (minBytes > bare) {
        // A comment block of log-like lines, as firmware that dumps its bus
        // scan into the page would produce.
        static constexpr std::string_view open = "<!--\r\n";
        static constexpr std::string_view close = "-->\r\n";
        static constexpr std::string_view line = "bus scan: 1-Wire search in progress ........................\r\n";
        std::size_t fill = minBytes - bare;
        fill = fill > open.size() + close.size() ? fill - open.size() - close.size() : 0;
        page.reserve(minBytes + line.size());
        page += open;
        while (fill >= line.size()) {
            page += line;
            fill -= line.size();
        }
        page.append(fill, '.');
        page += close;
    }
    page += form;
    return page;
}

std::string GatewayPages::error(int status, std::string_view reason, std::string_view detail)
{
    const std::string title = std::to_string(status) + ' ' + escape(reason);
    std::string page;
    page += "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n"
            "<html>\r\n<head>\r\n<title>";
    page += title;
    page += "</title>\r\n</head>\r\n<body>\r\n<h2>";
    page += title;
    page += "</h2>\r\n<p>";
    page += escape(detail);
    page += "</p>\r\n</body>\r\n</html>\r\n";
    return page;
}

std::string GatewayPages::formatCelsius(double celsius)
{
    std::array<char, 64> buf{};
    const auto result = std::to_chars(buf.data(), buf.data() + buf.size(), celsius,
                                      std::chars_format::fixed, 4);
    std::string text(buf.data(), result.ptr);
    while (!text.empty() && text.back() == '0')
        text.pop_back();
    if (!text.empty() && text.back() == '.')
        text.pop_back();
    if (text == "-0")
        text = "0";
    return text;
}

std::string GatewayPages::escape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default:
            // Control bytes would only garble the page.
            if (static_cast<unsigned char>(c) < 0x20)
                out += '?';
            else
                out += c;
        }
    }
    return out;
}

} // namespace kestrin::sim
