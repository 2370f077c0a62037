#include "chartcolours.h"

#include <iterator>

namespace kestrin {

namespace {

// 3.3:1 or more on white and on #f0f0f0.
const QColor lightLines[] = {
    QColor(0x27, 0x48, 0xe6), QColor(0xec, 0x35, 0x29), QColor(0x39, 0x95, 0x3e), QColor(0x96, 0x19, 0x35),
    QColor(0x64, 0x77, 0xd9), QColor(0x57, 0x34, 0x51), QColor(0xd2, 0x2d, 0xa0), QColor(0x43, 0x67, 0x53),
    QColor(0x7f, 0x61, 0x00), QColor(0x08, 0x8d, 0xba), QColor(0x1a, 0x05, 0x61),
};
// 3.3:1 or more on black and on #353535.
const QColor darkLines[] = {
    QColor(0x2e, 0xa1, 0xff), QColor(0xe5, 0xa3, 0x04), QColor(0x3b, 0xf2, 0x54), QColor(0xee, 0x4b, 0x33),
    QColor(0xca, 0x53, 0xd7), QColor(0x94, 0xbe, 0x65), QColor(0xfe, 0x66, 0x9c), QColor(0xf1, 0xb3, 0x9e),
    QColor(0xe8, 0xff, 0x2b), QColor(0x12, 0xff, 0xcf), QColor(0x81, 0xd3, 0xe3),
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
    const QColor base = (m_dark ? darkLines : lightLines)[sensor % count];
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
