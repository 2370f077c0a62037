#include "logchartaccessible.h"

#include "logchartview.h"

namespace kestrin {

LogChartAccessible::LogChartAccessible(LogChartView *chart)
    : QAccessibleWidget(chart, QAccessible::Chart)
{
}

QAccessibleInterface *LogChartAccessible::create(const QString &className, QObject *object)
{
    if (className == QLatin1String("kestrin::LogChartView") && object && object->isWidgetType())
        return new LogChartAccessible(static_cast<LogChartView *>(object));
    return nullptr;
}

const LogChartView *LogChartAccessible::chart() const
{
    return static_cast<const LogChartView *>(widget());
}

QString LogChartAccessible::text(QAccessible::Text t) const
{
    switch (t) {
    case QAccessible::Name: {
        const QString readout = chart()->cursorText();
        const QString name = widget()->accessibleName();
        return readout.isEmpty() ? name : name + QStringLiteral(": ") + readout;
    }
    case QAccessible::Description:
        return chart()->summary();
    default:
        return QAccessibleWidget::text(t);
    }
}

} // namespace kestrin
