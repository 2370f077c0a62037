#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kestrin::sim {

// The HTML the simulated gateway serves, in the plain form an embedded web
// server produces: a title, a form with one read-only field per value.
class GatewayPages final {
public:
    // The page for one DS18B20 read. value: the text of Temperature_0's value
    // attribute, or nullopt for a page without that element. minBytes: pad the
    // page with a comment before the form, so that the element sits near the
    // end of a body of at least this size.
    static std::string reading(std::string_view romId, int resolution,
                               const std::optional<std::string> &value,
                               std::size_t minBytes = 0);
    // A small page for an error status, naming the problem.
    static std::string error(int status, std::string_view reason, std::string_view detail);

    // "." as decimal point, at most four decimals, no trailing zeros:
    // 21.5625, 21.5, 85.
    static std::string formatCelsius(double celsius);
    static std::string escape(std::string_view text);
};

} // namespace kestrin::sim
