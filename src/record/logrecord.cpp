#include "logrecord.h"

#include "localeformats.h"
#include "numberformat.h"

#include <QStringEncoder>

namespace kestrin {

QString LogRecord::timeStamp(const QDateTime &when, const QLocale &locale)
{
    const QString stamp = locale.toString(when.date(), LocaleFormats::shortDateFourDigitYear(locale)) + u' '
        + locale.toString(when.time(), LocaleFormats::timeWithSeconds(locale));
    return LocaleFormats::plainText(stamp);
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
