#pragma once

#include <QLocale>
#include <QString>

namespace kestrin {

// Numbers as the program shows and writes them: at most seven significant
// digits, no trailing zeros, no decimal separator for whole values, an
// exponent only for very large or very small magnitudes, never a group
// separator. None of it goes through the C library, whose locale the
// application sets from the environment: under a comma locale printf and
// strtod would disagree with what QLocale says the user wants.
class NumberFormat final
{
public:
    // For the window, in the user's own number form: "21.5", "-0.25", "0"
    // with US settings, "21,5" with German ones, Arabic-Indic digits under
    // ar_EG (no leading space).
    static QString displayText(float value, const QLocale &locale);
    // For the log file's print form: a sign position (space or "-"), no zero
    // before the separator below 1, one trailing space: " 21.5 ", "-.25 ", " 0 ".
    // ASCII digits always, so any program can read the file back.
    static QString printForm(float value, const QLocale &locale);
    // The same digits without the sign position and the trailing space, for
    // values stored as text elsewhere (the window placement): "21.5", "-0.25".
    static QString plainText(float value, const QLocale &locale);

    // The decimal separator of text written for other programs: the locale's
    // own when it is one character that goes with ASCII digits and that the
    // system's 8-bit encoding can hold, "." otherwise. Locales whose own
    // digits are not ASCII (ar_EG, fa_IR, bn_BD) write "." with ASCII digits.
    static QChar fileDecimalSeparator(const QLocale &locale);
};

} // namespace kestrin
