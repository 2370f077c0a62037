#include "logchartview.h"

#include "chartcolours.h"
#include "chartsummary.h"
#include "localeformats.h"
#include "logchartaccessible.h"
#include "numberformat.h"

#include <QAccessible>
#include <QDateTime>
#include <QKeyEvent>
#include <QLegendMarker>
#include <QMouseEvent>
#include <QWheelEvent>

#include <cmath>
#include <limits>

namespace kestrin {

namespace {

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
    static const bool accessible = [] {
        QAccessible::installFactory(&LogChartAccessible::create);
        return true;
    }();
    Q_UNUSED(accessible);
    setAccessibleName(tr("Temperature chart"));
    applyColours();
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
    Q_EMIT linesChanged();
    tellSummary();
}

void LogChartView::setLogName(const QString &name)
{
    m_logName = name;
    tellSummary();
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
            connect(marker, &QLegendMarker::clicked, this, [this, sensor] { setLineShown(sensor, !isLineShown(sensor)); });
    }
    // Qt Charts gives axes and series its theme's colours as they are added.
    applyColours();
}

bool LogChartView::isLineShown(int sensor) const
{
    return sensor >= 0 && sensor < int(m_lines.size()) && m_lines[std::size_t(sensor)]->isVisible();
}

QColor LogChartView::lineColour(int sensor) const
{
    return ChartColours(palette()).line(sensor);
}

void LogChartView::setLineShown(int sensor, bool shown)
{
    if (sensor < 0 || sensor >= int(m_lines.size()) || isLineShown(sensor) == shown)
        return;
    m_lines[std::size_t(sensor)]->setVisible(shown);
    markLegend(sensor, ChartColours(palette()));
    Q_EMIT lineShownChanged(sensor, shown);
    redraw();
}

// The chart's own legend (a picture's) keeps a hidden line's entry, faded.
void LogChartView::markLegend(int sensor, const ChartColours &colours)
{
    QLineSeries *line = m_lines[std::size_t(sensor)];
    QLegendMarker *marker = m_chart->legend()->markers(line).value(0);
    if (!marker)
        return;
    marker->setVisible(true);
    QColor label = colours.text();
    label.setAlphaF(line->isVisible() ? 1.0 : 0.35);
    marker->setLabelBrush(label);
    QColor box = colours.line(sensor);
    box.setAlphaF(line->isVisible() ? 1.0 : 0.25);
    marker->setBrush(box);
}

void LogChartView::applyColours()
{
    const ChartColours colours(palette());
    m_chart->setBackgroundBrush(colours.background());
    m_chart->setBackgroundPen(QPen(colours.grid()));
    m_chart->setTitleBrush(colours.text());
    for (QAbstractAxis *axis : {static_cast<QAbstractAxis *>(m_timeAxis), static_cast<QAbstractAxis *>(m_valueAxis)}) {
        axis->setLabelsBrush(colours.text());
        axis->setTitleBrush(colours.text());
        axis->setLinePenColor(colours.axis());
        axis->setGridLineColor(colours.grid());
        axis->setMinorGridLineColor(colours.grid());
        axis->setShadesVisible(false);
    }
    m_chart->legend()->setLabelColor(colours.text());
    for (int s = 0; s < int(m_lines.size()); ++s) {
        m_lines[std::size_t(s)]->setPen(QPen(colours.line(s), 1));
        markLegend(s, colours);
    }
    viewport()->update();
    Q_EMIT linesChanged();
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
        m_cursor = -1;
        for (QList<QPointF> &points : m_points)
            points.clear();
        for (const QString &label : m_timeAxis->categoriesLabels())
            m_timeAxis->remove(label);
        m_timeTitle.clear();
        m_timeAxis->setTitleText(QString());
        m_valueAxis->setRange(0, 1);
        viewport()->update();
        tellSummary();
        return;
    }
    // A log read again from its start may be shorter.
    if (m_cursor >= m_series.size())
        m_cursor = -1;
    const double last = double(m_series.times().back()) * 1000.0;
    if (!keepView || m_to <= m_from) {
        m_cursor = -1;
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
    tellSummary();
}

QString LogChartView::summary() const
{
    ChartSummary::View view;
    view.logName = m_logName;
    view.fromMsecs = m_from;
    view.toMsecs = m_to;
    for (int s = 0; s < m_series.sensors(); ++s) {
        view.names << sensorName(s);
        view.shown.push_back(s >= int(m_lines.size()) || isLineShown(s));
    }
    return ChartSummary::describe(m_series, view, m_locale);
}

// Once a redraw at most, and only while a screen reader listens: the
// summary is made for it alone.
void LogChartView::tellSummary()
{
    if (!QAccessible::isActive())
        return;
    QString now = summary();
    if (now == m_toldSummary)
        return;
    m_toldSummary = std::move(now);
    QAccessibleEvent event(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&event);
}

QString LogChartView::cursorText() const
{
    if (m_cursor < 0 || m_cursor >= m_series.size())
        return {};
    return hoverTextAt(double(m_series.times()[std::size_t(m_cursor)]) * 1000.0);
}

void LogChartView::moveCursor(int step, bool byTenth)
{
    if (m_series.size() == 0 || m_to <= m_from)
        return;
    const qint64 first = qint64(std::ceil(m_from / 1000.0)), last = qint64(std::floor(m_to / 1000.0));
    auto shownNow = [&](qsizetype i) {
        return i >= 0 && m_series.times()[std::size_t(i)] >= first && m_series.times()[std::size_t(i)] <= last;
    };
    qsizetype at;
    if (!shownNow(m_cursor)) {
        // Where the eye would start: the middle of what is shown.
        at = m_series.nearest(qint64(std::llround((m_from + m_to) / 2000.0)));
    } else if (byTenth) {
        const double target = double(m_series.times()[std::size_t(m_cursor)]) * 1000.0 + step * (m_to - m_from) / 10;
        at = m_series.nearest(qint64(std::llround(target / 1000.0)));
        if (at == m_cursor)
            at += step;
    } else {
        at = m_cursor + step;
    }
    at = std::clamp<qsizetype>(at, 0, m_series.size() - 1);
    m_cursor = at;
    // A cursor that leaves the view takes the view along.
    const double t = double(m_series.times()[std::size_t(at)]) * 1000.0, width = m_to - m_from;
    if (t < m_from)
        setTimeRange(t - width * 0.05, t + width * 0.95);
    else if (t > m_to)
        setTimeRange(t - width * 0.95, t + width * 0.05);
    const QString text = cursorText();
    Q_EMIT hovered(text);
    QAccessibleEvent event(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
    viewport()->update();
}

void LogChartView::zoomBy(double factor)
{
    if (m_to <= m_from)
        return;
    double at = (m_from + m_to) / 2;
    if (m_cursor >= 0 && m_cursor < m_series.size()) {
        const double t = double(m_series.times()[std::size_t(m_cursor)]) * 1000.0;
        if (t >= m_from && t <= m_to)
            at = t;
    }
    setTimeRange(at - (at - m_from) * factor, at + (m_to - at) * factor);
}

void LogChartView::panBy(double share)
{
    if (m_to <= m_from)
        return;
    const double shift = (m_to - m_from) * share;
    setTimeRange(m_from + shift, m_to + shift);
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
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const bool control = event->modifiers() & Qt::ControlModifier;
    switch (event->key()) {
    case Qt::Key_Home:
    case Qt::Key_Escape:
        resetView();
        break;
    case Qt::Key_Left:
    case Qt::Key_Right: {
        const int step = event->key() == Qt::Key_Left ? -1 : 1;
        if (shift)
            panBy(step * 0.1);
        else
            moveCursor(step, control);
        break;
    }
    // "+" is Shift and "=" on many keyboards.
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        zoomBy(0.8);
        break;
    case Qt::Key_Minus:
    case Qt::Key_Underscore:
        zoomBy(1.25);
        break;
    default:
        QChartView::keyPressEvent(event);
        return;
    }
    event->accept();
}

void LogChartView::changeEvent(QEvent *event)
{
    QChartView::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applyColours();
}

// The plot's frame shows where the keyboard is.
void LogChartView::focusInEvent(QFocusEvent *event)
{
    QChartView::focusInEvent(event);
    viewport()->update();
}

void LogChartView::focusOutEvent(QFocusEvent *event)
{
    QChartView::focusOutEvent(event);
    viewport()->update();
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
    const ChartColours colours(palette());
    // The lines, the first sensor's on top.
    QPolygonF polyline;
    for (int s = int(m_points.size()) - 1; s >= 0; --s) {
        if (!m_lines[std::size_t(s)]->isVisible())
            continue;
        const QList<QPointF> &points = m_points[std::size_t(s)];
        polyline.resize(points.size());
        for (qsizetype i = 0; i < points.size(); ++i)
            polyline[i] = QPointF(xOf(points[i].x()), yOf(points[i].y()));
        painter->setPen(QPen(colours.line(s), 1));
        painter->drawPolyline(polyline);
    }
    // Flat runs: a bar in the sensor's colour along the bottom.
    for (const LogSeries::FlatRun &run : std::as_const(m_flatRuns)) {
        if (run.sensor >= int(m_lines.size()) || !m_lines[std::size_t(run.sensor)]->isVisible())
            continue;
        const qreal y = plot.bottom() - 3 - 4 * run.sensor;
        painter->setPen(QPen(colours.line(run.sensor), 3));
        painter->drawLine(QPointF(xOf(double(run.from) * 1000.0), y), QPointF(xOf(double(run.to) * 1000.0), y));
    }
    painter->setPen(QPen(colours.cursor(), 1, Qt::DashLine));
    if (m_hoverX >= plot.left() && m_hoverX <= plot.right())
        painter->drawLine(QPointF(m_hoverX, plot.top()), QPointF(m_hoverX, plot.bottom()));
    if (m_cursor >= 0 && m_cursor < m_series.size()) {
        const qreal x = xOf(double(m_series.times()[std::size_t(m_cursor)]) * 1000.0);
        if (x >= plot.left() && x <= plot.right())
            painter->drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    }
    painter->restore();
    if (hasFocus()) {
        painter->save();
        painter->setPen(QPen(palette().color(QPalette::Highlight), 2, Qt::DotLine));
        painter->drawRect(plot.adjusted(-2, -2, 2, 2));
        painter->restore();
    }
}

} // namespace kestrin
