#include "logrecord.h"

#include "numberformat.h"

#include <QRegularExpression>
#include <QStringEncoder>

namespace kestrin {

QString LogRecord::shortDateFormat(const QLocale &locale)
{
    QString format = locale.dateFormat(QLocale::ShortFormat);
    // A two-digit year field becomes four digits; longer ones stay.
    static const QRegularExpression twoDigitYear(QStringLiteral("(?<!y)yy(?!y)"));
    format.replace(twoDigitYear, QStringLiteral("yyyy"));
    return format;
}

QString LogRecord::timeWithSecondsFormat(const QLocale &locale)
{
    // The long format carries the seconds; its zone field is dropped.
    QString format = locale.timeFormat(QLocale::LongFormat);
    static const QRegularExpression zone(QStringLiteral("\\s*\\(?t+\\)?"));
    format.remove(zone);
    return format.trimmed();
}

QString LogRecord::timeStamp(const QDateTime &when, const QLocale &locale)
{
    return locale.toString(when.date(), shortDateFormat(locale)) + u' '
        + locale.toString(when.time(), timeWithSecondsFormat(locale));
}

QString LogRecord::text(const QDateTime &when, std::span<const float> readings, const QLocale &locale)
{
    QString line = timeStamp(when, locale) + QStringLiteral(", ");
    for (std::size_t j = 0; j < readings.size(); ++j) {
        line += NumberFormat::printForm(readings[j], locale);
        if (j + 1 == readings.size())
            break;
        const qsizetype pad = (PrintZoneWidth - line.size() % PrintZoneWidth) % PrintZoneWidth;
        line += QString(pad, u' ') + QStringLiteral(" , ");
    }
    return line + QStringLiteral("\r\n");
}

QByteArray LogRecord::bytes(const QDateTime &when, std::span<const float> readings, const QLocale &locale)
{
    QStringEncoder encoder(QStringConverter::System);
    return encoder.encode(text(when, readings, locale));
}

} // namespace kestrin
