#include "numberformat.h"

#include <cstdio>

namespace kestrin {

namespace {

// Seven significant digits, with the switch to an exponent where the digits
// would no longer say where the decimal point stands.
QString generalDigits(float value)
{
    if (value == 0.0f)
        return QStringLiteral("0"); // also for -0: a sign on zero says nothing
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.7G", static_cast<double>(value));
    return QString::fromLatin1(buffer);
}

QString withLocaleSeparator(QString digits, const QLocale &locale)
{
    const QString point = locale.decimalPoint();
    if (point != QLatin1String("."))
        digits.replace(u'.', point);
    return digits;
}

} // namespace

QString NumberFormat::displayText(float value, const QLocale &locale)
{
    return withLocaleSeparator(generalDigits(value), locale);
}

QString NumberFormat::printForm(float value, const QLocale &locale)
{
    QString digits = generalDigits(value);
    QString sign = QStringLiteral(" ");
    if (digits.startsWith(u'-')) {
        sign = QStringLiteral("-");
        digits.remove(0, 1);
    }
    if (digits.startsWith(QLatin1String("0.")))
        digits.remove(0, 1);
    return sign + withLocaleSeparator(digits, locale) + QStringLiteral(" ");
}

} // namespace kestrin
