#include "logchartview.h"

#include "localeformats.h"
#include "numberformat.h"

#include <QDateTime>
#include <QKeyEvent>
#include <QLegendMarker>
#include <QMouseEvent>
#include <QWheelEvent>

#include <cmath>
#include <limits>

namespace kestrin {

namespace {

// Eleven colours that stay apart on white, also for the common colour
// blindnesses as far as eleven allow.
const QColor lineColours[] = {
    QColor(0x1f, 0x77, 0xb4), QColor(0xff, 0x7f, 0x0e), QColor(0x2c, 0xa0, 0x2c), QColor(0xd6, 0x27, 0x28),
    QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b), QColor(0xe3, 0x77, 0xc2), QColor(0x7f, 0x7f, 0x7f),
    QColor(0xbc, 0xbd, 0x22), QColor(0x17, 0xbe, 0xcf), QColor(0x39, 0x3b, 0x79),
};

QColor colourOf(int sensor)
{
    constexpr int count = int(std::size(lineColours));
    const QColor base = lineColours[sensor % count];
    return sensor < count ? base : base.darker(150);
}

// Room a label needs on either axis, in pixels.
constexpr int TimeLabelWidth = 110;
constexpr int ValueLabelHeight = 36;

} // namespace

LogChartView::LogChartView(const LogSeries &series, const QLocale &locale, QWidget *parent)
    // The view is handed its chart at once: a chart set later replaces the
    // view's own default one, which the view then no longer deletes.
    : QChartView(new QChart, parent)
    , m_series(series)
    , m_locale(locale)
    , m_chart(chart())
    // Owned by the chart from the start: axes of a log that never had a
    // record are never added to it.
    , m_timeAxis(new QCategoryAxis(m_chart))
    , m_valueAxis(new QValueAxis(m_chart))
{
    m_chart->setLocale(locale);
    m_chart->setLocalizeNumbers(true);
    m_chart->legend()->setAlignment(Qt::AlignRight);
    m_timeAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    m_valueAxis->setTickType(QValueAxis::TicksDynamic);
    m_valueAxis->setTickAnchor(0);
    m_valueAxis->setTitleText(tr("°C"));
    // The marks drawn over the plot move with it: when the axes' labels or
    // the legend change its size, all of it is drawn again, or marks of the
    // old place stay on the screen.
    connect(m_chart, &QChart::plotAreaChanged, viewport(), qOverload<>(&QWidget::update));
    // Plain pixels: cheaper with a screenful of points, and every line's
    // colour stays exact.
    setRenderHint(QPainter::Antialiasing, false);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setRubberBand(QChartView::NoRubberBand);
}

QString LogChartView::sensorName(int sensor) const
{
    const QString name = m_names.value(sensor);
    return name.isEmpty() ? tr("Sensor %1").arg(sensor + 1) : name;
}

void LogChartView::setSensorNames(const QStringList &names)
{
    m_names = names;
    for (int s = 0; s < int(m_lines.size()); ++s)
        m_lines[std::size_t(s)]->setName(sensorName(s));
}

void LogChartView::removeLines()
{
    for (QLineSeries *line : m_lines) {
        m_chart->removeSeries(line);
        delete line;
    }
    m_lines.clear();
    m_points.clear();
}

void LogChartView::matchLines()
{
    if (int(m_lines.size()) == m_series.sensors())
        return;
    removeLines();
    for (int sensor = 0; sensor < m_series.sensors(); ++sensor) {
        auto *line = new QLineSeries(m_chart);
        line->setName(sensorName(sensor));
        QPen pen(colourOf(sensor));
        pen.setWidth(1);
        line->setPen(pen);
        m_chart->addSeries(line);
        // Axes added before any series stay undrawn in Qt Charts 6.4.
        if (!m_axesAdded) {
            m_chart->addAxis(m_timeAxis, Qt::AlignBottom);
            m_chart->addAxis(m_valueAxis, Qt::AlignLeft);
            m_axesAdded = true;
        }
        line->attachAxis(m_timeAxis);
        line->attachAxis(m_valueAxis);
        m_lines.push_back(line);
        m_points.emplace_back();
        // The legend entry shows and hides its line.
        if (QLegendMarker *marker = m_chart->legend()->markers(line).value(0))
            connect(marker, &QLegendMarker::clicked, this, [this, line] { toggleLine(line); });
    }
}

void LogChartView::toggleLine(QLineSeries *line)
{
    line->setVisible(!line->isVisible());
    if (QLegendMarker *marker = m_chart->legend()->markers(line).value(0)) {
        marker->setVisible(true);
        QColor label = marker->labelBrush().color();
        label.setAlphaF(line->isVisible() ? 1.0 : 0.35);
        marker->setLabelBrush(label);
        QColor box = marker->brush().color();
        box.setAlphaF(line->isVisible() ? 1.0 : 0.25);
        marker->setBrush(box);
    }
    redraw();
}

int LogChartView::visibleLines() const
{
    int n = 0;
    for (int s = 0; s < int(m_lines.size()); ++s)
        n += m_lines[std::size_t(s)]->isVisible() && pointsShown(s) > 0 ? 1 : 0;
    return n;
}

int LogChartView::pointsShown(int sensor) const
{
    if (sensor < 0 || sensor >= int(m_points.size()) || !m_lines[std::size_t(sensor)]->isVisible())
        return 0;
    return int(m_points[std::size_t(sensor)].size());
}

void LogChartView::dataChanged(bool keepView)
{
    matchLines();
    m_gaps = m_series.gaps();
    m_flatRuns = m_series.flatRuns();
    if (m_series.size() == 0) {
        // Nothing of a log that is gone stays: no range, no ticks, no marks.
        m_from = m_to = m_previousLast = 0;
        m_hoverX = -1;
        for (QList<QPointF> &points : m_points)
            points.clear();
        for (const QString &label : m_timeAxis->categoriesLabels())
            m_timeAxis->remove(label);
        m_timeTitle.clear();
        m_timeAxis->setTitleText(QString());
        m_valueAxis->setRange(0, 1);
        viewport()->update();
        return;
    }
    const double last = double(m_series.times().back()) * 1000.0;
    if (!keepView || m_to <= m_from) {
        resetView();
        return;
    }
    // A view that reached the newest record widens to each new one.
    if (m_to >= m_previousLast && last > m_previousLast)
        m_to += last - m_previousLast;
    m_previousLast = last;
    redraw();
}

void LogChartView::resetView()
{
    if (m_series.size() == 0)
        return;
    double from = double(m_series.times().front()) * 1000.0;
    double to = double(m_series.times().back()) * 1000.0;
    if (to - from < 1000.0) {
        from -= 30000.0;
        to += 30000.0;
    }
    m_previousLast = double(m_series.times().back()) * 1000.0;
    setTimeRange(from, to);
}

void LogChartView::setTimeRange(double fromMsecs, double toMsecs)
{
    if (!(toMsecs - fromMsecs >= 1000.0))
        toMsecs = fromMsecs + 1000.0;
    m_from = fromMsecs;
    m_to = toMsecs;
    redraw();
}

void LogChartView::setTimeTicks()
{
    const int columns = std::max(1, int(m_chart->plotArea().width()));
    const AxisTicks::TimeScale scale = AxisTicks::times(m_from, m_to, std::max(2, columns / TimeLabelWidth), m_locale);
    for (const QString &label : m_timeAxis->categoriesLabels())
        m_timeAxis->remove(label);
    m_timeAxis->setRange(m_from, m_to);
    m_timeAxis->setStartValue(m_from);
    // A category axis keys its ticks by label; the same clock time on two
    // days gets an invisible mark to stay a tick of its own.
    QStringList used;
    for (const AxisTicks::TimeTick &tick : scale.ticks) {
        QString label = tick.label;
        while (used.contains(label))
            label += u'\u200b';
        used.append(label);
        m_timeAxis->append(label, tick.msecs);
    }
    m_timeTitle = scale.title;
    m_timeAxis->setTitleText(scale.title);
}

QStringList LogChartView::timeLabels() const
{
    QStringList labels = m_timeAxis->categoriesLabels();
    for (QString &label : labels)
        label.remove(u'\u200b');
    return labels;
}

void LogChartView::redraw()
{
    if (m_lines.empty() || m_series.size() == 0 || m_to <= m_from)
        return;
    const int columns = std::max(1, int(m_chart->plotArea().width()));
    std::vector<bool> wanted(m_lines.size());
    for (std::size_t s = 0; s < m_lines.size(); ++s)
        wanted[s] = m_lines[s]->isVisible();
    std::vector<QList<QPointF>> reduced = m_series.reduce(wanted, m_from, m_to, columns);
    double lo = std::numeric_limits<double>::max();
    double hi = std::numeric_limits<double>::lowest();
    for (std::size_t s = 0; s < m_lines.size(); ++s) {
        if (!wanted[s] || s >= reduced.size())
            continue;
        for (const QPointF &p : std::as_const(reduced[s])) {
            if (p.x() >= m_from && p.x() <= m_to) {
                lo = std::min(lo, p.y());
                hi = std::max(hi, p.y());
            }
        }
    }
    if (lo > hi) {
        lo = 0;
        hi = 1;
    }
    const double pad = std::max(0.25, (hi - lo) * 0.05);
    const int rows = std::max(2, int(m_chart->plotArea().height()) / ValueLabelHeight);
    const AxisTicks::ValueScale scale = AxisTicks::values(lo - pad, hi + pad, rows);
    m_valueAxis->setTickInterval(scale.step);
    m_valueAxis->setLabelFormat(QStringLiteral("%.%1f").arg(scale.decimals));
    m_valueAxis->setRange(scale.from, scale.to);
    setTimeTicks();
    for (std::size_t s = 0; s < m_points.size(); ++s)
        m_points[s] = s < reduced.size() ? std::move(reduced[s]) : QList<QPointF>();
    viewport()->update();
}

double LogChartView::msecsAt(qreal x) const
{
    const QRectF plot = m_chart->plotArea();
    return m_from + (x - plot.left()) / std::max<qreal>(1.0, plot.width()) * (m_to - m_from);
}

QString LogChartView::hoverTextAt(double msecs) const
{
    const qsizetype i = m_series.nearest(qint64(std::llround(msecs / 1000.0)));
    if (i < 0)
        return {};
    // The record's own clock time: what the log says, with its offset.
    const QDateTime when = QDateTime::fromSecsSinceEpoch(m_series.times()[std::size_t(i)], Qt::OffsetFromUTC,
                                                         m_series.offsetAt(i));
    QString text = m_locale.toString(when, LocaleFormats::shortDateFourDigitYear(m_locale) + u' '
                                               + LocaleFormats::timeWithSeconds(m_locale));
    for (int s = 0; s < m_series.sensors(); ++s) {
        const QString label = m_names.value(s).isEmpty() ? QString::number(s + 1) : m_names.value(s);
        text += QStringLiteral("   %1: %2").arg(label, NumberFormat::displayText(m_series.column(s)[std::size_t(i)], m_locale));
    }
    return text;
}

void LogChartView::wheelEvent(QWheelEvent *event)
{
    const double steps = event->angleDelta().y() / 120.0;
    if (steps == 0 || m_to <= m_from)
        return;
    const double at = msecsAt(mapToScene(event->position().toPoint()).x());
    const double factor = std::pow(0.8, steps);
    setTimeRange(at - (at - m_from) * factor, at + (m_to - at) * factor);
    event->accept();
}

void LogChartView::mousePressEvent(QMouseEvent *event)
{
    // Outside the plot (the legend, the axes) the chart's own items answer.
    if (!m_chart->plotArea().contains(mapToScene(event->position().toPoint()))) {
        m_drag = Drag::None;
        QChartView::mousePressEvent(event);
        return;
    }
    m_pressAt = event->position().toPoint();
    m_pressFrom = m_from;
    m_pressTo = m_to;
    if (event->button() == Qt::RightButton
        || (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier))) {
        m_drag = Drag::Band;
        if (!m_band)
            m_band = new QRubberBand(QRubberBand::Rectangle, viewport());
        m_band->setGeometry(QRect(m_pressAt, QSize(1, viewport()->height())));
        m_band->show();
    } else if (event->button() == Qt::LeftButton) {
        m_drag = Drag::Pan;
        setCursor(Qt::ClosedHandCursor);
    }
    event->accept();
}

void LogChartView::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
    if (m_drag == Drag::Pan) {
        const double perPixel = (m_pressTo - m_pressFrom) / std::max<qreal>(1.0, m_chart->plotArea().width());
        const double shift = -(at.x() - m_pressAt.x()) * perPixel;
        setTimeRange(m_pressFrom + shift, m_pressTo + shift);
    } else if (m_drag == Drag::Band) {
        const QRect plot = mapFromScene(m_chart->plotArea()).boundingRect();
        m_band->setGeometry(QRect(QPoint(std::min(at.x(), m_pressAt.x()), plot.top()),
                                  QPoint(std::max(at.x(), m_pressAt.x()), plot.bottom())));
    }
    m_hoverX = mapToScene(at).x();
    if (m_series.size() > 0 && m_chart->plotArea().contains(mapToScene(at)))
        Q_EMIT hovered(hoverTextAt(msecsAt(m_hoverX)));
    else
        m_hoverX = -1;
    viewport()->update();
}

void LogChartView::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_drag == Drag::None) {
        QChartView::mouseReleaseEvent(event);
        return;
    }
    if (m_drag == Drag::Band) {
        m_band->hide();
        const qreal a = mapToScene(m_pressAt).x();
        const qreal b = mapToScene(event->position().toPoint()).x();
        if (std::abs(a - b) >= 4)
            setTimeRange(msecsAt(std::min(a, b)), msecsAt(std::max(a, b)));
    }
    m_drag = Drag::None;
    unsetCursor();
    event->accept();
}

void LogChartView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Home || event->key() == Qt::Key_Escape) {
        resetView();
        return;
    }
    QChartView::keyPressEvent(event);
}

void LogChartView::resizeEvent(QResizeEvent *event)
{
    QChartView::resizeEvent(event);
    redraw();
}

void LogChartView::drawForeground(QPainter *painter, const QRectF &rect)
{
    QChartView::drawForeground(painter, rect);
    if (m_to <= m_from || m_series.size() == 0)
        return;
    const QRectF plot = m_chart->plotArea();
    const double vmin = m_valueAxis->min(), vmax = m_valueAxis->max();
    if (!(vmax > vmin))
        return;
    const double sx = plot.width() / (m_to - m_from), sy = plot.height() / (vmax - vmin);
    auto xOf = [&](double msecs) { return plot.left() + (msecs - m_from) * sx; };
    auto yOf = [&](double value) { return plot.bottom() - (value - vmin) * sy; };
    painter->save();
    painter->setClipRect(plot);
    painter->setRenderHint(QPainter::Antialiasing, false);
    // Gaps: the logger was stopped or not logging.
    for (const LogSeries::Gap &gap : std::as_const(m_gaps)) {
        const QRectF band(QPointF(xOf(double(gap.from) * 1000.0), plot.top()),
                          QPointF(xOf(double(gap.to) * 1000.0), plot.bottom()));
        painter->fillRect(band, QBrush(QColor(128, 128, 128, 60), Qt::BDiagPattern));
        painter->fillRect(band, QColor(128, 128, 128, 40));
    }
    // The lines, the first sensor's on top.
    QPolygonF polyline;
    for (int s = int(m_points.size()) - 1; s >= 0; --s) {
        if (!m_lines[std::size_t(s)]->isVisible())
            continue;
        const QList<QPointF> &points = m_points[std::size_t(s)];
        polyline.resize(points.size());
        for (qsizetype i = 0; i < points.size(); ++i)
            polyline[i] = QPointF(xOf(points[i].x()), yOf(points[i].y()));
        painter->setPen(QPen(colourOf(s), 1));
        painter->drawPolyline(polyline);
    }
    // Flat runs: a bar in the sensor's colour along the bottom.
    for (const LogSeries::FlatRun &run : std::as_const(m_flatRuns)) {
        if (run.sensor >= int(m_lines.size()) || !m_lines[std::size_t(run.sensor)]->isVisible())
            continue;
        const qreal y = plot.bottom() - 3 - 4 * run.sensor;
        painter->setPen(QPen(colourOf(run.sensor), 3));
        painter->drawLine(QPointF(xOf(double(run.from) * 1000.0), y), QPointF(xOf(double(run.to) * 1000.0), y));
    }
    if (m_hoverX >= plot.left() && m_hoverX <= plot.right()) {
        painter->setPen(QPen(QColor(0, 0, 0, 120), 1, Qt::DashLine));
        painter->drawLine(QPointF(m_hoverX, plot.top()), QPointF(m_hoverX, plot.bottom()));
    }
    painter->restore();
}

} // namespace kestrin
