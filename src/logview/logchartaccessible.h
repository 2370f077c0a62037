#pragma once

#include <QAccessibleWidget>

namespace kestrin {

class LogChartView;

// The chart as a screen reader meets it: one object of the chart role, no
// children (the view's inner widgets mean nothing to a listener). Its name
// is the chart's, followed by the readout under the keyboard's cursor when
// there is one; its description sums up what the chart shows, made when it
// is asked for, so that no one pays for it while no screen reader listens.
class LogChartAccessible final : public QAccessibleWidget
{
public:
    explicit LogChartAccessible(LogChartView *chart);

    // For QAccessible::installFactory.
    static QAccessibleInterface *create(const QString &className, QObject *object);

    QString text(QAccessible::Text t) const override;
    int childCount() const override { return 0; }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }

private:
    const LogChartView *chart() const;
};

} // namespace kestrin
