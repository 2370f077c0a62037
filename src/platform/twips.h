#pragma once

#include <QRect>
#include <QWidget>
#include <QtMath>

namespace kestrin {

// Positions and sizes of the window designs are in twips, 1440 to the inch;
// they become pixels at the widget's logical resolution (15 twips a pixel at
// 96 dpi).
class Twips final
{
public:
    static constexpr int PerInch = 1440;

    static int x(const QWidget *widget, int twips) { return toPixels(twips, widget->logicalDpiX()); }
    static int y(const QWidget *widget, int twips) { return toPixels(twips, widget->logicalDpiY()); }
    static QRect rect(const QWidget *widget, int left, int top, int width, int height)
    {
        return QRect(x(widget, left), y(widget, top), x(widget, width), y(widget, height));
    }
    static int toPixels(int twips, int dpi) { return qRound(double(twips) * dpi / PerInch); }
    // The other way, unrounded: what the placement is saved in.
    static float fromPixels(int pixels, int dpi) { return float(double(pixels) * PerInch / double(dpi)); }
};

} // namespace kestrin
