#include "localeformats.h"

#include <QRegularExpression>

namespace kestrin {

QString LocaleFormats::shortDateFourDigitYear(const QLocale &locale)
{
    return withFourDigitYear(locale.dateFormat(QLocale::ShortFormat));
}

QString LocaleFormats::withFourDigitYear(const QString &format)
{
    QString result;
    result.reserve(format.size() + 2);
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == u'\'') {
            quoted = !quoted;
            result.append(c);
        } else if (!quoted && c == u'y') {
            while (i + 1 < format.size() && format.at(i + 1) == u'y')
                ++i;
            result.append(QStringLiteral("yyyy"));
        } else {
            result.append(c);
        }
    }
    return result;
}

QString LocaleFormats::timeWithSeconds(const QLocale &locale)
{
    // The long format carries the seconds; its zone field is dropped.
    QString format = locale.timeFormat(QLocale::LongFormat);
    static const QRegularExpression zone(QStringLiteral("\\s*\\(?t+\\)?"));
    format.remove(zone);
    return format.trimmed();
}

QString LocaleFormats::hoursAndMinutes(const QLocale &locale)
{
    QString format = locale.timeFormat(QLocale::ShortFormat);
    static const QRegularExpression seconds(QStringLiteral("[:.]?s+(\\.z+)?"));
    format.remove(seconds);
    return format.trimmed();
}

namespace {

// A date format taken apart into fields ("dddd", "yyyy") and the literal
// text between them, quotes kept.
struct Part
{
    QString text;
    bool field = false;
};

QList<Part> split(const QString &format)
{
    QList<Part> parts;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format.at(i);
        if (c.isLetter() && c.unicode() < 0x80 && c != u'\'') {
            qsizetype run = 1;
            while (i + run < format.size() && format.at(i + run) == c)
                ++run;
            parts.append({format.mid(i, run), true});
            i += run;
            continue;
        }
        if (parts.isEmpty() || parts.constLast().field)
            parts.append({QString(), false});
        if (c == u'\'') {
            const qsizetype end = format.indexOf(u'\'', i + 1);
            const qsizetype stop = end < 0 ? format.size() : end + 1;
            parts.last().text += format.mid(i, stop - i);
            i = stop;
        } else {
            parts.last().text += c;
            ++i;
        }
    }
    return parts;
}

bool hasLetter(const QString &literal)
{
    bool quoted = false;
    for (const QChar c : literal) {
        if (c == u'\'')
            quoted = !quoted;
        else if (c.isLetter() || quoted)
            return true;
    }
    return false;
}

} // namespace

QString LocaleFormats::monthAndDay(const QLocale &locale)
{
    QList<Part> parts = split(locale.dateFormat(QLocale::LongFormat));
    auto literalAt = [&](qsizetype i) { return i >= 0 && i < parts.size() && !parts[i].field; };
    auto drop = [&](qsizetype i, bool unitFirst) {
        // A year takes its unit with it (年, 'г'.) or else the separator
        // before it; a weekday the separator next to it, never a unit.
        const bool nextIsUnit = literalAt(i + 1) && hasLetter(parts[i + 1].text);
        const bool prevIsSeparator = literalAt(i - 1) && !hasLetter(parts[i - 1].text);
        const bool nextIsSeparator = literalAt(i + 1) && !hasLetter(parts[i + 1].text);
        qsizetype first = i, last = i;
        if (unitFirst && (nextIsUnit || (literalAt(i + 1) && !literalAt(i - 1))))
            last = i + 1;
        else if (unitFirst && literalAt(i - 1))
            first = i - 1;
        else if (!unitFirst && nextIsSeparator)
            last = i + 1;
        else if (!unitFirst && prevIsSeparator)
            first = i - 1;
        parts.remove(first, last - first + 1);
    };
    for (qsizetype i = 0; i < parts.size();) {
        const QString &t = parts[i].text;
        if (parts[i].field && t.startsWith(u'y')) {
            drop(i, true);
            i = 0;
        } else if (parts[i].field && t.startsWith(u'd') && t.size() >= 3) {
            drop(i, false);
            i = 0;
        } else {
            ++i;
        }
    }
    QString format;
    for (const Part &p : std::as_const(parts))
        format += p.field && p.text == QLatin1String("MMMM") ? QStringLiteral("MMM") : p.text;
    static const QRegularExpression ends(QStringLiteral("^[\\s,\u060c]+|[\\s,\u060c]+$"));
    format.remove(ends);
    if (!format.contains(u'M') || !format.contains(u'd'))
        return QStringLiteral("MMM d");
    return format;
}

QString LocaleFormats::plainText(QStringView text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool directionMark = u == 0x200E || u == 0x200F || u == 0x061C || (u >= 0x202A && u <= 0x202E)
            || (u >= 0x2066 && u <= 0x2069);
        if (directionMark)
            continue;
        if (c.category() == QChar::Number_DecimalDigit && c.digitValue() >= 0)
            result.append(QChar(u'0' + c.digitValue()));
        else
            result.append(c);
    }
    return result;
}

} // namespace kestrin
