#include "localeformats.h"

#include <QRegularExpression>

namespace kestrin {

QString LocaleFormats::shortDateFourDigitYear(const QLocale &locale)
{
    return withFourDigitYear(locale.dateFormat(QLocale::ShortFormat));
}

QString LocaleFormats::withFourDigitYear(const QString &format)
{
    QString result;
    result.reserve(format.size() + 2);
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == u'\'') {
            quoted = !quoted;
            result.append(c);
        } else if (!quoted && c == u'y') {
            while (i + 1 < format.size() && format.at(i + 1) == u'y')
                ++i;
            result.append(QStringLiteral("yyyy"));
        } else {
            result.append(c);
        }
    }
    return result;
}

QString LocaleFormats::timeWithSeconds(const QLocale &locale)
{
    // The long format carries the seconds; its zone field is dropped.
    QString format = locale.timeFormat(QLocale::LongFormat);
    static const QRegularExpression zone(QStringLiteral("\\s*\\(?t+\\)?"));
    format.remove(zone);
    return format.trimmed();
}

QString LocaleFormats::hoursAndMinutes(const QLocale &locale)
{
    QString format = locale.timeFormat(QLocale::ShortFormat);
    static const QRegularExpression seconds(QStringLiteral("[:.]?s+(\\.z+)?"));
    format.remove(seconds);
    return format.trimmed();
}

QString LocaleFormats::plainText(QStringView text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool directionMark = u == 0x200E || u == 0x200F || u == 0x061C || (u >= 0x202A && u <= 0x202E)
            || (u >= 0x2066 && u <= 0x2069);
        if (directionMark)
            continue;
        if (c.category() == QChar::Number_DecimalDigit && c.digitValue() >= 0)
            result.append(QChar(u'0' + c.digitValue()));
        else
            result.append(c);
    }
    return result;
}

} // namespace kestrin
