#include "loglineparser.h"

#include "localclock.h"
#include "numberformat.h"

#include <charconv>

namespace kestrin {

LogLineParser::LogLineParser(const QLocale &locale)
    : m_stamps(locale)
{
    // Besides the writer's separator, "." and the locale's own point are
    // taken: older writers used them, and neither can be mistaken for the
    // " , " between readings.
    const QString point = locale.decimalPoint();
    m_separators[0] = NumberFormat::fileDecimalSeparator(locale).unicode();
    m_separators[1] = u'.';
    m_separators[2] = point.size() == 1 ? point.at(0).unicode() : u'.';
}

bool LogLineParser::isSeparator(char16_t c) const
{
    return c == m_separators[0] || c == m_separators[1] || c == m_separators[2];
}

bool LogLineParser::reading(QStringView line, qsizetype &pos, float &value) const
{
    const qsizetype n = line.size();
    if (pos >= n)
        return false;
    char buffer[48];
    int len = 0;
    const char16_t sign = line.at(pos).unicode();
    if (sign == u'-')
        buffer[len++] = '-';
    else if (sign != u' ')
        return false;
    ++pos;
    int digits = 0;
    auto takeDigits = [&] {
        int count = 0;
        while (pos < n && len < 40) {
            const char16_t c = line.at(pos).unicode();
            if (c < u'0' || c > u'9')
                break;
            buffer[len++] = char(c);
            ++pos;
            ++count;
        }
        return count;
    };
    digits += takeDigits();
    if (pos < n && isSeparator(line.at(pos).unicode())) {
        buffer[len++] = '.';
        ++pos;
        const int fraction = takeDigits();
        if (fraction == 0)
            return false;
        digits += fraction;
    }
    if (digits == 0)
        return false;
    if (pos < n && (line.at(pos) == u'E' || line.at(pos) == u'e')) {
        buffer[len++] = 'e';
        ++pos;
        if (pos < n && (line.at(pos) == u'-' || line.at(pos) == u'+'))
            buffer[len++] = char(line.at(pos++).unicode());
        if (takeDigits() == 0)
            return false;
    }
    if (pos >= n || line.at(pos) != u' ' || len >= 40)
        return false;
    ++pos;
    const auto [end, ec] = std::from_chars(buffer, buffer + len, value);
    return ec == std::errc() && end == buffer + len;
}

bool LogLineParser::parse(QStringView line, Record &record, std::vector<float> &values, QString &reason) const
{
    if (line.isEmpty()) {
        reason = QStringLiteral("an empty line");
        return false;
    }
    // The stamp ends at the first ", " that is not part of the stamp itself.
    std::optional<TimeStampParser::Result> stamp;
    qsizetype pos = -1;
    qsizetype comma = line.indexOf(u", ");
    for (int skip = m_stamps.commasInStamp(); skip > 0 && comma >= 0; --skip)
        comma = line.indexOf(u", ", comma + 1);
    if (comma >= 0) {
        stamp = m_stamps.parse(line.first(comma));
        pos = comma + 2;
    }
    if (!stamp) {
        const qsizetype comma = line.indexOf(u", ");
        const QStringView head = comma >= 0 ? line.first(comma) : line.first(std::min<qsizetype>(line.size(), 40));
        reason = QStringLiteral("no time stamp of the form \"%1\" at its start (\"%2\")")
                     .arg(m_stamps.format(), head.toString());
        return false;
    }
    const std::size_t first = values.size();
    auto fail = [&](QString why) {
        values.resize(first);
        reason = std::move(why);
        return false;
    };
    for (int index = 1;; ++index) {
        if (index > MaxReadings)
            return fail(QStringLiteral("more than %1 readings").arg(MaxReadings));
        float value = 0;
        const qsizetype start = pos;
        if (!reading(line, pos, value)) {
            const qsizetype end = line.indexOf(u" , ", start);
            return fail(QStringLiteral("reading %1 is not a number in print form: \"%2\"")
                            .arg(index)
                            .arg(line.mid(start, end < 0 ? -1 : end - start).toString()));
        }
        values.push_back(value);
        if (pos == line.size())
            break;
        // Zone padding, then the separator.
        while (pos < line.size() && line.at(pos) == u' ' && !line.mid(pos).startsWith(u" , "))
            ++pos;
        if (!line.mid(pos).startsWith(u" , "))
            return fail(QStringLiteral("no \" , \" after reading %1").arg(index));
        pos += 3;
    }
    record.wall = LocalClock::wallSeconds(stamp->date, stamp->secondsOfDay);
    return true;
}

} // namespace kestrin
