#include "chartcolours.h"

#include <iterator>

namespace kestrin {

namespace {

// 3.3:1 or more on white and on #f0f0f0.
constexpr QRgb lightLines[] = {
    0x2748e6, 0xec3529, 0x39953e, 0x961935, 0x6477d9, 0x573451, 0xd22da0, 0x436753, 0x7f6100, 0x088dba, 0x1a0561,
};
// 3.3:1 or more on black and on #353535.
constexpr QRgb darkLines[] = {
    0x2ea1ff, 0xe5a304, 0x3bf254, 0xee4b33, 0xca53d7, 0x94be65, 0xfe669c, 0xf1b39e, 0xe8ff2b, 0x12ffcf, 0x81d3e3,
};
static_assert(std::size(lightLines) == std::size(darkLines));

QColor mix(const QColor &from, const QColor &to, double share)
{
    auto channel = [&](int a, int b) { return int(a + (b - a) * share + 0.5); };
    return QColor(channel(from.red(), to.red()), channel(from.green(), to.green()), channel(from.blue(), to.blue()));
}

} // namespace

ChartColours::ChartColours(const QPalette &palette)
    : m_background(palette.color(QPalette::Active, QPalette::Base))
    , m_text(palette.color(QPalette::Active, QPalette::Text))
{
    m_background.setAlpha(255);
    m_text.setAlpha(255);
    // Light text on a darker ground: whatever the theme calls itself.
    m_dark = m_background.lightnessF() < m_text.lightnessF();
    m_axis = mix(m_background, m_text, 0.6);
    m_grid = mix(m_background, m_text, 0.22);
}

QColor ChartColours::line(int sensor) const
{
    constexpr int count = int(std::size(lightLines));
    const QColor base(m_dark ? darkLines[sensor % count] : lightLines[sensor % count]);
    if (sensor < count)
        return base;
    // Beyond eleven, a shade further from the background.
    return m_dark ? base.lighter(140) : base.darker(150);
}

QColor ChartColours::cursor() const
{
    QColor c = m_text;
    c.setAlpha(150);
    return c;
}

} // namespace kestrin
