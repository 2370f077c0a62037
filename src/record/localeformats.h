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

    // Text another program can read back: every decimal digit of any script
    // as ASCII 0-9, and no invisible direction marks (ar_EG puts them
    // between the parts of a date).
    static QString plainText(QStringView text);
};

} // namespace kestrin
