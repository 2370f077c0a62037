#pragma once

#include <array>

namespace kestrin {

// The sensors of a build without a site file: thirteen ROM ids in table
// order, of which the first eleven are read. The logger's sensor table and
// every program that names sensors without a site file take them from here.
class BuiltInTable final
{
public:
    static constexpr int SensorCount = 11;
    static const std::array<const char *, 13> &romIds();
};

} // namespace kestrin
