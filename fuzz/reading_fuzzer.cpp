// Feeds arbitrary text to the reading of a page value as a temperature, under
// locales with different decimal points and signs, and checks that a reading
// the program shows in the window reads back as the same number.

#include "numberformat.h"
#include "readingtext.h"

#include <QLocale>
#include <QString>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>

using kestrin::NumberFormat;

namespace {

const QLocale &localeFor(std::uint8_t selector)
{
    static const QLocale locales[] = {
        QLocale::c(),
        QLocale(QLocale::English, QLocale::UnitedStates),
        QLocale(QLocale::German, QLocale::Germany),
        QLocale(QLocale::French, QLocale::Switzerland),
        QLocale(QLocale::Swedish, QLocale::Sweden),       // U+2212 minus sign
        QLocale(QLocale::Arabic, QLocale::Egypt),         // Arabic decimal separator
        QLocale(QLocale::Persian, QLocale::Iran),         // multi-character signs
        QLocale(QLocale::Hindi, QLocale::India),
    };
    return locales[selector % (sizeof locales / sizeof locales[0])];
}

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

// The first byte picks the locale; the rest is the value text as UTF-8.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const QLocale &locale = localeFor(data[0]);
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    const std::optional<float> reading = kestrin::readingFromText(text, locale);
    if (!reading)
        return 0;
    check(std::isfinite(*reading));
    check(std::fabs(*reading) <= std::numeric_limits<float>::max());

    const QString shown = NumberFormat::displayText(*reading, locale);
    const QString printed = NumberFormat::printForm(*reading, locale);
    check(!shown.isEmpty());
    check(printed.size() >= 3 && printed.endsWith(u' ') && (printed.front() == u' ' || printed.front() == u'-'));

    // What the window shows, read again, shows the same; exponent forms are
    // not readings, so they are left out.
    if (!printed.contains(u'E')) {
        const std::optional<float> again = kestrin::readingFromText(shown, locale);
        check(again.has_value());
        check(NumberFormat::displayText(*again, locale) == shown);
    }
    return 0;
}
