#include "timestampparser.h"

#include "localeformats.h"

#include <QDateTime>

namespace kestrin {

QString TimeStampParser::plainForm(QStringView text)
{
    return LocaleFormats::plainText(text);
}

TimeStampParser::TimeStampParser(const QLocale &locale)
    : m_locale(locale)
    , m_format(LocaleFormats::shortDateFourDigitYear(locale) + u' ' + LocaleFormats::timeWithSeconds(locale))
    , m_am(locale.amText())
    , m_pm(locale.pmText())
{
    const QString format = plainForm(m_format);
    m_compiled = true;
    for (int m = 1; m <= 12; ++m) {
        QStringList names;
        for (QLocale::FormatType type : {QLocale::LongFormat, QLocale::ShortFormat}) {
            names << plainForm(locale.monthName(m, type)) << plainForm(locale.standaloneMonthName(m, type));
        }
        m_monthNames.append(names);
    }
    for (int d = 1; d <= 7; ++d) {
        QStringList names;
        for (QLocale::FormatType type : {QLocale::LongFormat, QLocale::ShortFormat}) {
            names << plainForm(locale.dayName(d, type)) << plainForm(locale.standaloneDayName(d, type));
        }
        m_dayNames.append(names);
    }
    auto literal = [this](QChar c) {
        if (c.isSpace()) {
            if (m_tokens.isEmpty() || m_tokens.constLast().field != Field::Space)
                m_tokens.append({Field::Space, 0, {}});
            return;
        }
        if (m_tokens.isEmpty() || m_tokens.constLast().field != Field::Literal)
            m_tokens.append({Field::Literal, 0, {}});
        m_tokens.last().text.append(c);
    };
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format.at(i);
        if (c == u'\'') {
            const qsizetype end = format.indexOf(u'\'', i + 1);
            if (end == i + 1) {
                literal(c);
                i += 2;
                continue;
            }
            const qsizetype stop = end < 0 ? format.size() : end;
            for (qsizetype k = i + 1; k < stop; ++k)
                literal(format.at(k));
            i = stop + 1;
            continue;
        }
        qsizetype run = 1;
        while (i + run < format.size() && format.at(i + run) == c)
            ++run;
        const int width = run >= 2 ? 2 : 1;
        switch (c.unicode()) {
        case u'd':
            m_tokens.append({run > 2 ? Field::DayName : Field::Day, width, {}});
            break;
        case u'M':
            m_tokens.append({run > 2 ? Field::MonthName : Field::Month, width, {}});
            break;
        case u'y':
            m_tokens.append({Field::Year, run == 2 ? 2 : 4, {}});
            break;
        case u'h':
            m_tokens.append({Field::Hour12, width, {}});
            break;
        case u'H':
            m_tokens.append({Field::Hour24, width, {}});
            break;
        case u'm':
            m_tokens.append({Field::Minute, width, {}});
            break;
        case u's':
            m_tokens.append({Field::Second, width, {}});
            break;
        case u'a':
        case u'A':
            m_tokens.append({Field::AmPm, 0, {}});
            if (i + run < format.size() && (format.at(i + run) == u'p' || format.at(i + run) == u'P'))
                ++run;
            break;
        case u'z':
        case u't':
        case u'g':
            m_compiled = false;
            break;
        default:
            for (qsizetype k = 0; k < run; ++k)
                literal(c);
            break;
        }
        i += run;
    }
    // Literal ", " in the stamp (no locale of ours has one, but a user's
    // format may).
    for (const Token &t : std::as_const(m_tokens))
        if (t.field == Field::Literal && t.text.endsWith(u','))
            ++m_commas;
    // "h" without an AM/PM field is the 24-hour clock in Qt's formats.
    bool hasAmPm = false;
    for (const Token &t : std::as_const(m_tokens))
        hasAmPm = hasAmPm || t.field == Field::AmPm;
    if (!hasAmPm) {
        for (Token &t : m_tokens)
            if (t.field == Field::Hour12)
                t.field = Field::Hour24;
    }
}

std::optional<TimeStampParser::Result> TimeStampParser::parse(QStringView stamp) const
{
    const QString plain = plainForm(stamp);
    if (!m_compiled)
        return parseFallback(plain);

    int day = -1, month = -1, year = -1, hour = -1, minute = 0, second = 0;
    int ampm = -1; // 0 am, 1 pm
    qsizetype pos = 0;
    const qsizetype n = plain.size();
    auto number = [&](int width, int &out) {
        const int maxDigits = width == 1 ? 2 : width;
        const int minDigits = width == 1 ? 1 : width;
        int v = 0, digits = 0;
        while (pos < n && digits < maxDigits && plain.at(pos) >= u'0' && plain.at(pos) <= u'9') {
            v = v * 10 + (plain.at(pos).unicode() - u'0');
            ++pos;
            ++digits;
        }
        out = v;
        return digits >= minDigits;
    };
    for (const Token &t : m_tokens) {
        switch (t.field) {
        case Field::Literal:
            if (!QStringView(plain).mid(pos).startsWith(t.text))
                return std::nullopt;
            pos += t.text.size();
            break;
        case Field::Space:
            if (pos >= n || !plain.at(pos).isSpace())
                return std::nullopt;
            while (pos < n && plain.at(pos).isSpace())
                ++pos;
            break;
        case Field::Day:
            if (!number(t.width, day))
                return std::nullopt;
            break;
        case Field::Month:
            if (!number(t.width, month))
                return std::nullopt;
            break;
        case Field::MonthName:
        case Field::DayName: {
            qsizetype length = 0;
            const int index = matchName(QStringView(plain).mid(pos), t.field == Field::MonthName ? m_monthNames : m_dayNames, length);
            if (index < 0)
                return std::nullopt;
            if (t.field == Field::MonthName)
                month = index + 1;
            pos += length;
            break;
        }
        case Field::Year:
            if (!number(t.width, year))
                return std::nullopt;
            if (t.width == 2)
                year += 2000;
            break;
        case Field::Hour12:
        case Field::Hour24:
            if (!number(t.width, hour))
                return std::nullopt;
            break;
        case Field::Minute:
            if (!number(t.width, minute))
                return std::nullopt;
            break;
        case Field::Second:
            if (!number(t.width, second))
                return std::nullopt;
            break;
        case Field::AmPm: {
            const QStringView rest = QStringView(plain).mid(pos);
            auto take = [&](const QString &text, int value) {
                if (!text.isEmpty() && rest.startsWith(text, Qt::CaseInsensitive)) {
                    pos += text.size();
                    ampm = value;
                    return true;
                }
                return false;
            };
            if (!take(m_am, 0) && !take(m_pm, 1) && !take(QStringLiteral("AM"), 0) && !take(QStringLiteral("PM"), 1))
                return std::nullopt;
            break;
        }
        }
    }
    if (pos != n || day < 0 || month < 0 || year < 0 || hour < 0)
        return std::nullopt;
    if (ampm >= 0) {
        if (hour < 1 || hour > 12)
            return std::nullopt;
        hour = hour % 12 + (ampm == 1 ? 12 : 0);
    }
    if (hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    const QDate date(year, month, day);
    if (!date.isValid())
        return std::nullopt;
    return Result{date, hour * 3600 + minute * 60 + second};
}

int TimeStampParser::matchName(QStringView text, const QList<QStringList> &names, qsizetype &length)
{
    int best = -1;
    length = 0;
    for (int i = 0; i < names.size(); ++i) {
        for (const QString &name : names[i]) {
            if (name.size() > length && text.startsWith(name, Qt::CaseInsensitive)) {
                best = i;
                length = name.size();
            }
        }
    }
    return best;
}

std::optional<TimeStampParser::Result> TimeStampParser::parseFallback(QStringView plain) const
{
    const QDateTime when = m_locale.toDateTime(plain.toString(), plainForm(m_format));
    if (!when.isValid())
        return std::nullopt;
    return Result{when.date(), when.time().msecsSinceStartOfDay() / 1000};
}

} // namespace kestrin
