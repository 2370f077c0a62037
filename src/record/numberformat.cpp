#include "numberformat.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <charconv>

namespace kestrin {

namespace {

// "%.7G" without printf: seven significant digits, trailing zeros dropped,
// an exponent ("1.234568E+07", "1E-05") where the digits alone would not
// say where the point stands. Always "." and ASCII digits.
QString generalDigits(float value)
{
    if (value == 0.0f)
        return QStringLiteral("0"); // also for -0: a sign on zero says nothing
    char buffer[40];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                                      std::chars_format::general, 7);
    QString digits = QString::fromLatin1(buffer, result.ptr - buffer);
    const qsizetype e = digits.indexOf(u'e');
    if (e >= 0)
        digits[e] = u'E';
    return digits;
}

bool systemEncodingHolds(QChar c)
{
    QStringEncoder encoder(QStringConverter::System);
    const QByteArray bytes = encoder.encode(QString(c));
    if (encoder.hasError() || bytes.isEmpty())
        return false;
    QStringDecoder decoder(QStringConverter::System);
    return QString(decoder.decode(bytes)) == QString(c);
}

} // namespace

QChar NumberFormat::fileDecimalSeparator(const QLocale &locale)
{
    const QString point = locale.decimalPoint();
    if (point.size() != 1 || locale.zeroDigit() != QLatin1String("0"))
        return u'.';
    const QChar c = point.front();
    if (c.isDigit() || c.isSpace() || c == u'-' || c == u'+' || !systemEncodingHolds(c))
        return u'.';
    return c;
}

QString NumberFormat::displayText(float value, const QLocale &locale)
{
    if (value == 0.0f)
        return locale.toString(0);
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    return plain.toString(static_cast<double>(value), 'G', 7);
}

QString NumberFormat::plainText(float value, const QLocale &locale)
{
    QString digits = generalDigits(value);
    const QChar point = fileDecimalSeparator(locale);
    if (point != u'.')
        digits.replace(u'.', point);
    return digits;
}

QString NumberFormat::printForm(float value, const QLocale &locale)
{
    QString digits = plainText(value, locale);
    QString sign = QStringLiteral(" ");
    if (digits.startsWith(u'-')) {
        sign = QStringLiteral("-");
        digits.remove(0, 1);
    }
    if (digits.size() > 1 && digits.front() == u'0' && !digits.at(1).isDigit())
        digits.remove(0, 1); // "0.5" -> ".5", whatever the separator
    return sign + digits + QStringLiteral(" ");
}

} // namespace kestrin
