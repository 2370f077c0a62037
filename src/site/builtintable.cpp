#include "builtintable.h"

namespace kestrin {

const std::array<const char *, 13> &BuiltInTable::romIds()
{
    static const std::array<const char *, 13> ids = {
        "9C000000B4A89828", "06000000A4EC7428", "B900000027CA8F28", "E6000000B4E6AC28",
        "6E00000027CD1E28", "40000000B491CF28", "A1000000180B0528", "47000000A4F3AD28",
        "88000000B4A59328", "EC00000027A23328", "EE000000B4913B28", "A1000000A4D34C28",
        "92000000A4F27928",
    };
    return ids;
}

} // namespace kestrin
