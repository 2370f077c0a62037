#pragma once

#include <QLocale>
#include <QStringView>

#include <optional>

namespace kestrin {

// Reads a temperature the gateway page gives as text. The page always writes
// "." as its decimal point whatever the user's locale, so "." is accepted
// besides the locale's own separator, and group separators never are: under
// a German locale "21.5" is 21.5, not 215. Anything that is not a plain
// decimal number (empty, words, nan, inf, exponents, trailing garbage,
// values beyond single precision) is no reading at all.
std::optional<float> readingFromText(QStringView text, const QLocale &locale);

} // namespace kestrin
