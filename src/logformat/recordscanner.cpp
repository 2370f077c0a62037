#include "recordscanner.h"

#include "numberformat.h"

#include <QStringEncoder>

#include <algorithm>
#include <charconv>
#include <cstring>

namespace kestrin {

namespace {

constexpr qint64 Day = 86400;

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
qint64 daysFromCivil(qint64 y, int m, int d)
{
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const qint64 yoe = y - era * 400;
    const qint64 doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const qint64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

bool leap(qint64 y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(qint64 y, int m)
{
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leap(y) ? 29 : days[m - 1];
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

RecordScanner::RecordScanner(const QLocale &locale)
{
    const TimeStampParser stamps(locale);
    QStringEncoder encoder(QStringConverter::System, QStringConverter::Flag::Stateless);
    auto encode = [&](const QString &text) {
        QByteArray bytes = encoder.encode(text);
        if (encoder.hasError())
            m_usable = false;
        return bytes;
    };
    m_usable = stamps.compiled();
    for (const TimeStampParser::Token &t : stamps.tokens())
        m_tokens.push_back({t.field, t.width, encode(t.text)});
    m_am = encode(TimeStampParser::plainForm(stamps.amText()));
    m_pm = encode(TimeStampParser::plainForm(stamps.pmText()));
    auto names = [&](const QList<QStringList> &list, Names &out) {
        for (int i = 0; i < list.size(); ++i)
            for (const QString &name : list[i])
                if (!name.isEmpty())
                    out.forms.emplace_back(encode(name), i);
        std::stable_sort(out.forms.begin(), out.forms.end(),
                         [](const auto &a, const auto &b) { return a.first.size() > b.first.size(); });
    };
    names(stamps.monthNames(), m_months);
    names(stamps.dayNames(), m_days);
    // The stamp's spaces may be no-break spaces in some locales' forms.
    m_spaces.push_back(QByteArray(" "));
    for (char16_t space : {u'\u00a0', u'\u202f', u'\u2009'}) {
        const QByteArray bytes = encoder.encode(QString(QChar(space)));
        if (!encoder.hasError() && !bytes.isEmpty() && bytes != "?")
            m_spaces.push_back(bytes);
    }

    // Besides the writer's separator, "." and the locale's own point, as
    // LogLineParser takes them; only single bytes are matched here.
    const QString point = locale.decimalPoint();
    const char16_t separators[3] = {NumberFormat::fileDecimalSeparator(locale).unicode(), u'.',
                                    point.size() == 1 ? point.at(0).unicode() : u'.'};
    for (int i = 0; i < 3; ++i) {
        if (separators[i] > 0x7f)
            m_usable = false;
        m_separators[i] = char(separators[i]);
    }
}

bool RecordScanner::startsWithNoCase(const char *p, const char *end, const QByteArray &text)
{
    if (text.isEmpty() || end - p < text.size())
        return false;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (lower(p[i]) != lower(text[i]))
            return false;
    return true;
}

bool RecordScanner::matchName(const char *&p, const char *end, const Names &names, int &index)
{
    for (const auto &[text, i] : names.forms) {
        if (startsWithNoCase(p, end, text)) {
            p += text.size();
            index = i;
            return true;
        }
    }
    return false;
}

bool RecordScanner::stamp(const char *&p, const char *end, qint64 &wall) const
{
    int day = -1, month = -1, year = -1, hour = -1, minute = 0, second = 0;
    int ampm = -1;
    auto number = [&](int width, int &out) {
        const int maxDigits = width == 1 ? 2 : width;
        const int minDigits = width == 1 ? 1 : width;
        int v = 0, digits = 0;
        while (p < end && digits < maxDigits && isDigit(*p)) {
            v = v * 10 + (*p++ - '0');
            ++digits;
        }
        out = v;
        return digits >= minDigits;
    };
    auto space = [&] {
        bool any = false;
        for (;;) {
            if (p < end && (*p == ' ' || *p == '\t')) {
                ++p;
                any = true;
                continue;
            }
            bool wide = false;
            for (std::size_t i = 1; i < m_spaces.size() && !wide; ++i) {
                const QByteArray &s = m_spaces[i];
                if (end - p >= s.size() && std::memcmp(p, s.constData(), std::size_t(s.size())) == 0) {
                    p += s.size();
                    wide = any = true;
                }
            }
            if (!wide)
                return any;
        }
    };
    for (const Token &t : m_tokens) {
        switch (t.field) {
        case Field::Literal:
            if (end - p < t.text.size() || std::memcmp(p, t.text.constData(), std::size_t(t.text.size())) != 0)
                return false;
            p += t.text.size();
            break;
        case Field::Space:
            if (!space())
                return false;
            break;
        case Field::Day:
            if (!number(t.width, day))
                return false;
            break;
        case Field::Month:
            if (!number(t.width, month))
                return false;
            break;
        case Field::MonthName: {
            int index = 0;
            if (!matchName(p, end, m_months, index))
                return false;
            month = index + 1;
            break;
        }
        case Field::DayName: {
            int index = 0;
            if (!matchName(p, end, m_days, index))
                return false;
            break;
        }
        case Field::Year:
            if (!number(t.width, year))
                return false;
            if (t.width == 2)
                year += 2000;
            break;
        case Field::Hour12:
        case Field::Hour24:
            if (!number(t.width, hour))
                return false;
            break;
        case Field::Minute:
            if (!number(t.width, minute))
                return false;
            break;
        case Field::Second:
            if (!number(t.width, second))
                return false;
            break;
        case Field::AmPm:
            if (startsWithNoCase(p, end, m_am)) {
                p += m_am.size();
                ampm = 0;
            } else if (startsWithNoCase(p, end, m_pm)) {
                p += m_pm.size();
                ampm = 1;
            } else if (startsWithNoCase(p, end, QByteArrayLiteral("AM"))) {
                p += 2;
                ampm = 0;
            } else if (startsWithNoCase(p, end, QByteArrayLiteral("PM"))) {
                p += 2;
                ampm = 1;
            } else {
                return false;
            }
            break;
        }
    }
    if (day < 1 || month < 1 || month > 12 || year < 0 || hour < 0)
        return false;
    if (ampm >= 0) {
        if (hour < 1 || hour > 12)
            return false;
        hour = hour % 12 + (ampm == 1 ? 12 : 0);
    }
    if (hour > 23 || minute > 59 || second > 59 || day > daysInMonth(year, month))
        return false;
    wall = daysFromCivil(year, month, day) * Day + hour * 3600 + minute * 60 + second;
    return true;
}

int RecordScanner::scan(const char *begin, const char *end, qint64 &wall, float *values, int capacity) const
{
    if (!m_usable)
        return -1;
    const char *p = begin;
    if (!stamp(p, end, wall) || end - p < 2 || p[0] != ',' || p[1] != ' ')
        return -1;
    p += 2;
    auto separator = [this](char c) { return c == m_separators[0] || c == m_separators[1] || c == m_separators[2]; };
    int count = 0;
    for (;;) {
        if (count == capacity || p >= end)
            return -1;
        // A sign position, digits with at most one separator, an exponent,
        // one space: " 21.5 ", "-.25 ", " 1.5E+10 ".
        const bool negative = *p == '-';
        if (!negative && *p != ' ')
            return -1;
        ++p;
        const char *const number = p;
        // Up to seven digits and ten decimals, as the logger's seven
        // significant digits give, are read exactly by one float division
        // (both operands are exact in a float, and IEEE division rounds
        // once); anything longer, and exponents, go to from_chars.
        quint64 mantissa = 0;
        int digits = 0, decimals = 0;
        bool point = false;
        for (; p < end; ++p) {
            if (isDigit(*p)) {
                if (digits < 19)
                    mantissa = mantissa * 10 + quint64(*p - '0');
                ++digits;
                decimals += point ? 1 : 0;
            } else if (!point && separator(*p)) {
                point = true;
            } else {
                break;
            }
        }
        // Digits are needed, and after a separator at least one.
        if (digits == 0 || (point && decimals == 0) || p - number > 40)
            return -1;
        const bool exact = digits < 19 && mantissa <= (quint64(1) << 24);
        const qsizetype length = p - number;
        bool exponent = false;
        if (p < end && (*p == 'E' || *p == 'e')) {
            exponent = true;
            ++p;
            if (p < end && (*p == '-' || *p == '+'))
                ++p;
            const char *const e = p;
            while (p < end && isDigit(*p))
                ++p;
            if (p == e)
                return -1;
        }
        if (p >= end || *p != ' ')
            return -1;
        if (exact && !exponent && decimals <= 10) {
            static constexpr float tens[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
            const float v = float(mantissa) / tens[decimals];
            values[count] = negative ? -v : v;
        } else {
            char buffer[48];
            int len = 0;
            if (negative)
                buffer[len++] = '-';
            for (const char *q = number; q < p && len < 46; ++q)
                buffer[len++] = separator(*q) && q < number + length ? '.' : *q;
            if (p - number > 45)
                return -1;
            const auto [stop, ec] = std::from_chars(buffer, buffer + len, values[count]);
            if (ec != std::errc() || stop != buffer + len)
                return -1;
        }
        ++p;
        ++count;
        if (p == end)
            return count;
        // Zone padding, then " , ".
        while (p < end && *p == ' ' && !(end - p >= 3 && p[1] == ',' && p[2] == ' '))
            ++p;
        if (end - p < 3 || p[0] != ' ' || p[1] != ',' || p[2] != ' ')
            return -1;
        p += 3;
    }
}

} // namespace kestrin
