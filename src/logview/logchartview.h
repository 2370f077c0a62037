#pragma once

#include "axisticks.h"
#include "logseries.h"

#include <QCategoryAxis>
#include <QChartView>
#include <QLineSeries>
#include <QLocale>
#include <QRubberBand>
#include <QStringList>
#include <QValueAxis>

#include <vector>

namespace kestrin {

// The chart of a log: one line per sensor against time, drawn from a
// reduction of the visible range to the plot's width, so a million records
// cost no more to draw than a screenful. Wheel and right-button rubber band
// zoom in time, a left drag pans, Home (or resetView) shows everything.
// Gaps are shaded, flat runs underlined in their sensor's colour. Both axes
// tick at round values (AxisTicks).
//
// Qt Charts draws the axes, the grid and the legend; the lines themselves
// are drawn here as plain polylines over the plot. A QLineSeries lays out
// and strokes a hit-test shape of every point it holds, which took most of
// a zoom frame on a year's log; the series stay, empty, for the legend.
//
// The lines, the ranges and the marks always follow the series: a series
// that was cleared, or now holds a log of another width, leaves nothing of
// the old one behind.
class LogChartView final : public QChartView
{
    Q_OBJECT

public:
    LogChartView(const LogSeries &series, const QLocale &locale, QWidget *parent = nullptr);

    // The data changed: new records, or a new log. `keepView` leaves the
    // time range where the user put it (the right edge follows the newest
    // record when it showed the newest before).
    void dataChanged(bool keepView);
    void resetView();
    void setTimeRange(double fromMsecs, double toMsecs);
    double viewFrom() const { return m_from; }
    double viewTo() const { return m_to; }
    int lineCount() const { return int(m_lines.size()); }
    int visibleLines() const;
    // How many points the line of `sensor` is drawn through now.
    int pointsShown(int sensor) const;
    QLineSeries *line(int sensor) const { return m_lines.at(std::size_t(sensor)); }
    QString hoverTextAt(double msecs) const;
    // Legend and readout names, by sensor ("1 Freezer 2"); "Sensor N" where
    // none is given.
    void setSensorNames(const QStringList &names);
    QString sensorName(int sensor) const;
    // What the axes show now, for whoever needs to read them.
    QStringList timeLabels() const;
    QString timeTitle() const { return m_timeTitle; }
    const QValueAxis *valueAxis() const { return m_valueAxis; }

Q_SIGNALS:
    void hovered(const QString &text);

protected:
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void drawForeground(QPainter *painter, const QRectF &rect) override;

private:
    // Makes one line per sensor of the series, none for an empty one.
    void matchLines();
    void removeLines();
    void toggleLine(QLineSeries *line);
    void redraw();
    void setTimeTicks();
    double msecsAt(qreal x) const;

    const LogSeries &m_series;
    QLocale m_locale;
    QChart *m_chart;
    QCategoryAxis *m_timeAxis;
    QValueAxis *m_valueAxis;
    bool m_axesAdded = false;
    std::vector<QLineSeries *> m_lines;
    std::vector<QList<QPointF>> m_points; // per sensor: msecs, °C
    QStringList m_names;
    QString m_timeTitle;
    double m_from = 0, m_to = 0;
    double m_previousLast = 0;
    QList<LogSeries::Gap> m_gaps;
    QList<LogSeries::FlatRun> m_flatRuns;
    enum class Drag { None, Pan, Band } m_drag = Drag::None;
    QPoint m_pressAt;
    double m_pressFrom = 0, m_pressTo = 0;
    QRubberBand *m_band = nullptr;
    qreal m_hoverX = -1;
};

} // namespace kestrin
