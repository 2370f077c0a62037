#pragma once

#include <QLocale>
#include <QString>

namespace kestrin {

// Date and time formats of the user's locale, as the window and the log
// write them: the short date always with a four-digit year, the time with
// seconds but never a time zone.
class LocaleFormats final
{
public:
    static QString shortDateFourDigitYear(const QLocale &locale);
    // Every year field outside quoted text becomes "yyyy".
    static QString withFourDigitYear(const QString &format);
    static QString timeWithSeconds(const QLocale &locale);
    // Hours and minutes only: some locales' short format carries seconds too.
    static QString hoursAndMinutes(const QLocale &locale);
};

} // namespace kestrin
