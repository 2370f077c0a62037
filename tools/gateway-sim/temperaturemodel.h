#pragma once

#include <cstdint>
#include <string_view>

namespace kestrin::sim {

// How warm each simulated room is. Every sensor gets its own base temperature
// between 18 and 24 °C, a slow swing like a heating cycle (a sine with a period
// of 30 to 90 minutes) and a small bounded wander on top, all derived from its
// ROM id and the seed, so the same seed gives the same readings at the same
// moment. The result never leaves base ± 1.05 °C.
class TemperatureModel final {
public:
    explicit TemperatureModel(std::uint64_t seed);

    // romId: upper-case ROM id; seconds: time since the simulator was made.
    double celsius(std::string_view romId, double seconds) const;

    static constexpr double MinBase = 18.0;
    static constexpr double MaxBase = 24.0;
    static constexpr double MaxSwing = 0.8;
    static constexpr double MaxWander = 0.25;

private:
    std::uint64_t m_seed;
};

} // namespace kestrin::sim
