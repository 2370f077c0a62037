#pragma once

#include "logseries.h"

#include <QChartView>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QLocale>
#include <QPointer>
#include <QRubberBand>
#include <QValueAxis>

#include <vector>

namespace kestrin {

// The chart of a log: one line per sensor against time, drawn from a
// reduction of the visible range to the plot's width, so a million records
// cost no more to draw than a screenful. Wheel and right-button rubber band
// zoom in time, a left drag pans, Home (or resetView) shows everything.
// Gaps are shaded, flat runs underlined in their sensor's colour.
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
    int visibleLines() const;
    QLineSeries *line(int sensor) const { return m_lines.at(sensor); }
    QString hoverTextAt(double msecs) const;

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
    void ensureLines();
    void redraw();
    double msecsAt(qreal x) const;

    const LogSeries &m_series;
    QLocale m_locale;
    QChart *m_chart;
    QDateTimeAxis *m_timeAxis;
    QValueAxis *m_valueAxis;
    std::vector<QLineSeries *> m_lines;
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
