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
    // The month by its short name and the day, without year or weekday, in
    // the locale's order: "MMM d" (Dec 8) in the US, "d. MMM" (8. Dez.) in
    // Germany, "M月d日" in Japan. Taken from the locale's long date.
    static QString monthAndDay(const QLocale &locale);

    // Text another program can read back: every decimal digit of any script
    // as ASCII 0-9, and no invisible direction marks (ar_EG puts them
    // between the parts of a date).
    static QString plainText(QStringView text);
};

} // namespace kestrin
