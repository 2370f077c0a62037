#pragma once

#include "report.h"

#include <QLocale>
#include <QString>

namespace kestrin {

// A report's text for people, in the locale's own forms: its short date
// with a four-digit year, its time with seconds, its decimal separator.
class ReportText final
{
public:
    explicit ReportText(const QLocale &locale);

    const QLocale &locale() const { return m_locale; }
    QString date(QDate date) const;
    // The wall time of a moment; its UTC offset follows when it is not
    // `usualOffset`, so that the hour repeated in autumn reads unambiguously.
    QString dateTime(const Moment &moment, int usualOffset) const;
    QString dateTime(const QDateTime &when) const;
    QString hoursAndMinutes(qint64 utc, int offset) const;
    QString period(const Period &period) const;
    QString temperature(float celsius) const;
    QString temperature(double celsius, int decimals) const;
    QString number(double value, int decimals) const;
    QString count(qint64 value) const;
    // "1:30:00", "2 d 4:00:00"
    QString duration(qint64 seconds) const;
    // "UTC+05:30"
    static QString offset(int seconds);

private:
    QLocale m_locale;
    QString m_dateFormat, m_timeFormat, m_shortTimeFormat;
};

} // namespace kestrin
