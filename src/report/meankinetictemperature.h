#pragma once

#include <QtGlobal>

namespace kestrin {

// The mean kinetic temperature of equally weighted readings: the single
// temperature that would age a product as much as the readings did,
//   MKT = (ΔH/R) / -ln((1/n) Σ exp(-ΔH / (R·Tᵢ))) - 273.15, Tᵢ in kelvin.
class MeanKineticTemperature final
{
public:
    static constexpr double ActivationEnergy = 83144.0; // ΔH, J/mol
    static constexpr double GasConstant = 8.3144;       // R, J/(mol·K)

    void add(float celsius);
    qint64 count() const { return m_count; }
    // NaN without readings.
    double celsius() const;

private:
    double m_sum = 0;
    qint64 m_count = 0;
    // Readings change slowly; the term of the one before is often reused.
    float m_lastReading = 0;
    double m_lastTerm = -1;
};

} // namespace kestrin
