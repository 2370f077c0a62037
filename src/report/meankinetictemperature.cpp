#include "meankinetictemperature.h"

#include <cmath>
#include <limits>

namespace kestrin {

namespace {

constexpr double ZeroCelsius = 273.15;
constexpr double ActivationTemperature = MeanKineticTemperature::ActivationEnergy / MeanKineticTemperature::GasConstant;

} // namespace

void MeanKineticTemperature::add(float celsius)
{
    if (m_lastTerm < 0 || celsius != m_lastReading) {
        m_lastReading = celsius;
        m_lastTerm = std::exp(-ActivationTemperature / (double(celsius) + ZeroCelsius));
    }
    m_sum += m_lastTerm;
    ++m_count;
}

double MeanKineticTemperature::celsius() const
{
    if (m_count == 0)
        return std::numeric_limits<double>::quiet_NaN();
    return ActivationTemperature / -std::log(m_sum / double(m_count)) - ZeroCelsius;
}

} // namespace kestrin
