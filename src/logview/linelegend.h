#pragma once

#include <QWidget>

#include <vector>

class QCheckBox;
class QVBoxLayout;

namespace kestrin {

class LogChartView;

// The chart's legend as widgets a keyboard and a screen reader reach: one
// check box per line, named by its sensor and marked in its colour, checked
// while the line is shown; Space or a click hides or shows it. Its entries
// follow the chart in the tab order.
class LineLegend final : public QWidget
{
    Q_OBJECT

public:
    explicit LineLegend(LogChartView *chart, QWidget *parent = nullptr);

    int entries() const { return int(m_boxes.size()); }
    QCheckBox *entry(int sensor) const { return m_boxes.at(std::size_t(sensor)); }

private:
    void rebuild();

    LogChartView *m_chart;
    QVBoxLayout *m_layout;
    std::vector<QCheckBox *> m_boxes;
};

} // namespace kestrin
