#pragma once

#include <QByteArray>
#include <QLocale>
#include <QString>

namespace kestrin {

// Numbers as the program shows and writes them: at most seven significant
// digits, no trailing zeros, no decimal separator for whole values, an
// exponent only for very large or very small magnitudes, never a group
// separator, and the locale's decimal separator.
class NumberFormat final
{
public:
    // For the window: "21.5", "-0.25", "0" (no leading space).
    static QString displayText(float value, const QLocale &locale);
    // For the log file's print form: a sign position (space or "-"), no zero
    // before the separator below 1, one trailing space: " 21.5 ", "-.25 ", " 0 ".
    static QString printForm(float value, const QLocale &locale);
};

} // namespace kestrin
