#pragma once

#include <QColor>
#include <QPalette>

namespace kestrin {

// The chart's colours, taken from the palette the desktop hands the program:
// the background is the palette's base (white, or a dark theme's near
// black), text in its text colour, axes and grid mixed between the two.
// Lines come from one of two sets of eleven, for light and for dark
// backgrounds: each colour stands at least 3:1 against its background
// (WCAG's figure for graphics), and the eleven stay apart, also for the
// common red-green colour blindnesses as far as eleven allow.
class ChartColours final
{
public:
    explicit ChartColours(const QPalette &palette);

    bool dark() const { return m_dark; }
    QColor background() const { return m_background; }
    QColor text() const { return m_text; }
    QColor axis() const { return m_axis; }
    QColor grid() const { return m_grid; }
    QColor line(int sensor) const;
    // The dashed line under the pointer or the keyboard's cursor.
    QColor cursor() const;

private:
    bool m_dark;
    QColor m_background, m_text, m_axis, m_grid;
};

} // namespace kestrin
