#pragma once

#include "report.h"

class QPainter;
class QRectF;

namespace kestrin {

class ReportText;

// One sensor's line over one period: the allowed range shaded, the times
// without records greyed, ticks on round values and whole hours or days.
class ReportChart final
{
public:
    static void paint(QPainter &painter, const QRectF &area, const Report &report, const ReportPeriod &period,
                      int sensor, const ReportText &text);
};

} // namespace kestrin
