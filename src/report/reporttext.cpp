#include "reporttext.h"

#include "localeformats.h"
#include "numberformat.h"

#include <QCoreApplication>

#include <cstdlib>

namespace kestrin {

namespace {

QDateTime wallClock(qint64 utc, int offset)
{
    return QDateTime::fromSecsSinceEpoch(utc + offset, Qt::UTC);
}

} // namespace

ReportText::ReportText(const QLocale &locale)
    : m_locale(locale)
    , m_dateFormat(LocaleFormats::shortDateFourDigitYear(locale))
    , m_timeFormat(LocaleFormats::timeWithSeconds(locale))
    , m_shortTimeFormat(LocaleFormats::hoursAndMinutes(locale))
{
}

QString ReportText::date(QDate date) const
{
    return m_locale.toString(date, m_dateFormat);
}

QString ReportText::dateTime(const Moment &moment, int usualOffset) const
{
    const QDateTime wall = wallClock(moment.utc, moment.offset);
    QString text = m_locale.toString(wall.date(), m_dateFormat) + u' ' + m_locale.toString(wall.time(), m_timeFormat);
    if (moment.offset != usualOffset)
        text += QStringLiteral(" (%1)").arg(offset(moment.offset));
    return text;
}

QString ReportText::dateTime(const QDateTime &when) const
{
    return m_locale.toString(when.date(), m_dateFormat) + u' ' + m_locale.toString(when.time(), m_timeFormat);
}

QString ReportText::hoursAndMinutes(qint64 utc, int offset) const
{
    return m_locale.toString(wallClock(utc, offset).time(), m_shortTimeFormat);
}

QString ReportText::period(const Period &period) const
{
    if (period.first == period.last)
        return date(period.first);
    return date(period.first) + QStringLiteral(" – ") + date(period.last);
}

QString ReportText::temperature(float celsius) const
{
    return NumberFormat::displayText(celsius, m_locale) + QStringLiteral(" °C");
}

QString ReportText::temperature(double celsius, int decimals) const
{
    return number(celsius, decimals) + QStringLiteral(" °C");
}

QString ReportText::number(double value, int decimals) const
{
    return m_locale.toString(value, 'f', decimals);
}

QString ReportText::count(qint64 value) const
{
    return m_locale.toString(value);
}

QString ReportText::duration(qint64 seconds) const
{
    const qint64 days = seconds / 86400;
    const qint64 rest = seconds % 86400;
    const QString clock = QStringLiteral("%1:%2:%3")
                              .arg(rest / 3600)
                              .arg(rest / 60 % 60, 2, 10, QChar(u'0'))
                              .arg(rest % 60, 2, 10, QChar(u'0'));
    if (days == 0)
        return clock;
    return QCoreApplication::translate("Report", "%1 d %2").arg(days).arg(clock);
}

QString ReportText::offset(int seconds)
{
    const int magnitude = std::abs(seconds);
    return QStringLiteral("UTC%1%2:%3")
        .arg(QChar(seconds < 0 ? u'-' : u'+'))
        .arg(magnitude / 3600, 2, 10, QChar(u'0'))
        .arg(magnitude / 60 % 60, 2, 10, QChar(u'0'));
}

} // namespace kestrin
