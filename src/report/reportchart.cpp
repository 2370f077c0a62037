#include "reportchart.h"

#include "axisticks.h"
#include "reporttext.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace kestrin {

namespace {

const QColor lineColour(0x1f, 0x4e, 0x9a);
const QColor bandColour(0xdc, 0xef, 0xdc);
const QColor limitColour(0x2c, 0x8a, 0x2c);
const QColor gapColour(0xe4, 0xe4, 0xe4);
const QColor gridColour(0xd0, 0xd0, 0xd0);

} // namespace

void ReportChart::paint(QPainter &painter, const QRectF &area, const Report &report, const ReportPeriod &rp, int sensor,
                        const ReportText &text)
{
    const SensorPeriod &f = rp.sensors[sensor];
    const Limits &limits = report.limits[sensor];
    const QFontMetricsF metrics(painter.font(), painter.device());
    const double unit = painter.device()->logicalDpiY() / 72.0; // device pixels per point

    // The value range: the readings and the limits, with a margin.
    double low = 0, high = 1;
    if (f.records > 0) {
        low = f.minimum;
        high = f.maximum;
    } else if (limits.any()) {
        low = high = limits.low.value_or(*limits.high);
    }
    if (limits.low)
        low = std::min(low, *limits.low);
    if (limits.high)
        high = std::max(high, *limits.high);
    if (high - low < 1) {
        const double middle = (low + high) / 2;
        low = middle - 0.5;
        high = middle + 0.5;
    }
    const AxisTicks::ValueScale scale = AxisTicks::values(low, high, 6);
    low = scale.from;
    high = scale.to;
    const double step = scale.step;
    const int decimals = scale.decimals;
    const double labelWidth = std::max(metrics.horizontalAdvance(text.number(low, decimals)),
                                       metrics.horizontalAdvance(text.number(high, decimals)))
        + 4 * unit;
    // Room above for the unit, below for the times.
    const QRectF plot(area.left() + labelWidth, area.top() + 1.5 * metrics.height(),
                      area.width() - labelWidth - 4 * unit, area.height() - 3 * metrics.height());
    const Period &p = rp.period;
    const double length = double(p.endUtc - p.startUtc);
    auto xAt = [&](double seconds) { return plot.left() + plot.width() * seconds / length; };
    auto yAt = [&](double celsius) { return plot.bottom() - plot.height() * (celsius - low) / (high - low); };

    painter.save();
    painter.setClipRect(plot);
    if (limits.any()) {
        const double top = limits.high ? yAt(*limits.high) : plot.top();
        const double bottom = limits.low ? yAt(*limits.low) : plot.bottom();
        painter.fillRect(QRectF(plot.left(), top, plot.width(), bottom - top), bandColour);
    }
    for (const LogSeries::Gap &g : rp.gaps) {
        const double from = xAt(double(g.from - p.startUtc)), to = xAt(double(g.to - p.startUtc));
        painter.fillRect(QRectF(from, plot.top(), to - from, plot.height()), gapColour);
    }
    painter.restore();

    // Grid and labels.
    painter.setPen(QPen(gridColour, 0.5 * unit));
    for (double v = low; v <= high + step / 2; v += step) {
        const double y = yAt(v);
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        painter.setPen(Qt::black);
        painter.drawText(QRectF(area.left(), y - metrics.height() / 2, labelWidth - 3 * unit, metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, text.number(v, decimals));
        painter.setPen(QPen(gridColour, 0.5 * unit));
    }
    painter.setPen(Qt::black);
    painter.drawText(QPointF(area.left(), area.top() + metrics.ascent()), QStringLiteral("°C"));
    const QTimeZone zone(report.zone.toUtf8());
    double lastLabelEnd = -1e9;
    const AxisTicks::TimeScale times =
        AxisTicks::times(double(p.startUtc) * 1000, double(p.endUtc) * 1000, 8, text.locale(), zone);
    for (const AxisTicks::TimeTick &tick : times.ticks) {
        const double seconds = tick.msecs / 1000 - double(p.startUtc);
        if (seconds < 0 || seconds > length)
            continue;
        const double x = xAt(seconds);
        painter.setPen(QPen(gridColour, 0.5 * unit));
        painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        const double width = metrics.horizontalAdvance(tick.label);
        if (x - width / 2 > lastLabelEnd && x + width / 2 <= area.right()) {
            painter.setPen(Qt::black);
            painter.drawText(QPointF(x - width / 2, plot.bottom() + 0.6 * metrics.height() + metrics.ascent()), tick.label);
            lastLabelEnd = x + width / 2 + 4 * unit;
        }
    }

    painter.save();
    painter.setClipRect(plot);
    if (limits.low || limits.high) {
        painter.setPen(QPen(limitColour, 0.75 * unit, Qt::DashLine));
        for (const std::optional<double> &limit : {limits.low, limits.high})
            if (limit)
                painter.drawLine(QPointF(plot.left(), yAt(*limit)), QPointF(plot.right(), yAt(*limit)));
    }
    painter.setPen(QPen(lineColour, 0.75 * unit));
    for (const QList<QPointF> &stretch : f.trace) {
        if (stretch.size() == 1) {
            painter.drawPoint(QPointF(xAt(stretch[0].x()), yAt(stretch[0].y())));
            continue;
        }
        QPolygonF line;
        line.reserve(stretch.size());
        for (const QPointF &point : stretch)
            line.append(QPointF(xAt(point.x()), yAt(point.y())));
        painter.drawPolyline(line);
    }
    painter.restore();
    painter.setPen(QPen(Qt::black, 0.5 * unit));
    painter.drawRect(plot);
    if (f.records == 0) {
        painter.drawText(plot, Qt::AlignCenter, QCoreApplication::translate("Report", "No records in this period"));
    }
}

} // namespace kestrin
