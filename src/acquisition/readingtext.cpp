#include "readingtext.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace kestrin {

std::optional<float> readingFromText(QStringView text, const QLocale &locale)
{
    const QStringView t = text.trimmed();
    const QString localeDecimal = locale.decimalPoint();
    const QString localeMinus = locale.negativeSign();
    const QString localePlus = locale.positiveSign();

    QByteArray plain;
    plain.reserve(t.size() + 1);
    qsizetype pos = 0;
    if (t.startsWith(u'-') || (!localeMinus.isEmpty() && t.startsWith(localeMinus))) {
        plain.append('-');
        pos = t.startsWith(u'-') ? 1 : localeMinus.size();
    } else if (t.startsWith(u'+') || (!localePlus.isEmpty() && t.startsWith(localePlus))) {
        pos = t.startsWith(u'+') ? 1 : localePlus.size();
    }

    // The locale's own digits count too (Arabic-Indic under ar_EG).
    const QString zero = locale.zeroDigit();
    const char16_t nativeZero = zero.size() == 1 ? zero.front().unicode() : u'0';

    bool seenPoint = false;
    int digits = 0;
    while (pos < t.size()) {
        const QChar c = t[pos];
        if (c >= u'0' && c <= u'9') {
            plain.append(char(c.unicode()));
            ++digits;
            ++pos;
        } else if (c.unicode() >= nativeZero && c.unicode() <= nativeZero + 9) {
            plain.append(char('0' + (c.unicode() - nativeZero)));
            ++digits;
            ++pos;
        } else if (!seenPoint && c == u'.') {
            plain.append('.');
            seenPoint = true;
            ++pos;
        } else if (!seenPoint && t.mid(pos).startsWith(localeDecimal)) {
            plain.append('.');
            seenPoint = true;
            pos += localeDecimal.size();
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0)
        return std::nullopt;

    // from_chars, unlike strtod, never looks at the C library's locale.
    double value = 0;
    const char *end = plain.constData() + plain.size();
    const auto [ptr, error] = std::from_chars(plain.constData(), end, value, std::chars_format::fixed);
    if (error != std::errc() || ptr != end)
        return std::nullopt;
    if (!std::isfinite(value) || std::fabs(value) > double(std::numeric_limits<float>::max()))
        return std::nullopt;
    return static_cast<float>(value);
}

} // namespace kestrin
