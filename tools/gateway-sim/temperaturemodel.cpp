#include "temperaturemodel.h"

#include <cmath>
#include <numbers>

namespace kestrin::sim {

namespace {

std::uint64_t splitmix(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

// Uniform in [0, 1).
double unit(std::uint64_t x)
{
    return static_cast<double>(splitmix(x) >> 11) * 0x1.0p-53;
}

std::uint64_t fnv1a(std::string_view text)
{
    std::uint64_t h = 0xCBF29CE484222325ULL;
    for (const char c : text) {
        h ^= static_cast<unsigned char>(c);
        h *= 0x100000001B3ULL;
    }
    return h;
}

constexpr double WanderKnotSeconds = 300.0;

} // namespace

TemperatureModel::TemperatureModel(std::uint64_t seed) : m_seed(seed) {}

double TemperatureModel::celsius(std::string_view romId, double seconds) const
{
    const std::uint64_t key = splitmix(fnv1a(romId) ^ splitmix(m_seed));
    const double base = MinBase + (MaxBase - MinBase) * unit(key + 1);
    const double swing = 0.3 + (MaxSwing - 0.3) * unit(key + 2);
    const double period = 60.0 * (30.0 + 60.0 * unit(key + 3));
    const double phase = 2.0 * std::numbers::pi * unit(key + 4);

    // Value noise: random knots every 5 minutes, joined smoothly, so the reading
    // wanders a little without jumping between two reads.
    const double knots = seconds / WanderKnotSeconds;
    const double k = std::floor(knots);
    const double f = knots - k;
    const auto knot = [&](double index) {
        const auto i = static_cast<std::int64_t>(index);
        return (2.0 * unit(key ^ splitmix(static_cast<std::uint64_t>(i) + 0x5151)) - 1.0) * MaxWander;
    };
    const double s = f * f * (3.0 - 2.0 * f);
    const double wander = knot(k) + (knot(k + 1) - knot(k)) * s;

    return base + swing * std::sin(2.0 * std::numbers::pi * seconds / period + phase) + wander;
}

} // namespace kestrin::sim
