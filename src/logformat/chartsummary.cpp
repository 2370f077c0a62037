#include "chartsummary.h"

#include "localeformats.h"
#include "numberformat.h"

#include <QCoreApplication>
#include <QDateTime>

#include <cmath>

namespace kestrin {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("kestrin::ChartSummary", text);
}

} // namespace

QString ChartSummary::describe(const LogSeries &series, const View &view, const QLocale &locale)
{
    if (series.size() == 0 || !(view.toMsecs > view.fromMsecs))
        return view.logName.isEmpty() ? tr("No records.") : tr("%1: no records.").arg(view.logName);
    const QString format = LocaleFormats::shortDateFourDigitYear(locale) + u' ' + LocaleFormats::timeWithSeconds(locale);
    auto when = [&](double msecs) {
        return locale.toString(QDateTime::fromMSecsSinceEpoch(qint64(std::floor(msecs))), format);
    };
    // Records whose second lies within the range, its ends included.
    const qsizetype begin = series.lowerBound(qint64(std::ceil(view.fromMsecs / 1000.0)));
    const qsizetype end = series.lowerBound(qint64(std::floor(view.toMsecs / 1000.0)) + 1);
    const qsizetype records = std::max<qsizetype>(0, end - begin);

    QString text = tr("%1 to %2").arg(when(view.fromMsecs), when(view.toMsecs));
    if (!view.logName.isEmpty())
        text = view.logName + u", " + text;
    text += records == 1 ? tr(", 1 record.") : tr(", %1 records.").arg(locale.toString(qlonglong(records)));
    QStringList hidden;
    for (int s = 0; s < series.sensors(); ++s) {
        const QString name = view.names.value(s).isEmpty() ? tr("Sensor %1").arg(s + 1) : view.names.value(s);
        if (s < int(view.shown.size()) && !view.shown[std::size_t(s)]) {
            hidden << name;
            continue;
        }
        if (records == 0)
            continue;
        const auto [low, high] = series.range(s, begin, end);
        text += u' ' + tr("%1: minimum %2 °C, maximum %3 °C.")
                           .arg(name, NumberFormat::displayText(low, locale), NumberFormat::displayText(high, locale));
    }
    if (!hidden.isEmpty())
        text += u' ' + tr("Hidden: %1.").arg(hidden.join(QStringLiteral(", ")));
    return text;
}

} // namespace kestrin
