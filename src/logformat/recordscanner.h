#pragma once

#include "timestampparser.h"

#include <QByteArray>
#include <QList>
#include <QLocale>

#include <vector>

namespace kestrin {

// Reads a record line straight from the file's bytes, without QString,
// QDateTime or the locale machinery: the locale's stamp form and number
// form are learnt once, then each line costs a walk over its bytes.
//
// It takes only lines in the form the logger writes them today (ASCII
// digits, no direction marks, the file's decimal separator) and says "no"
// to anything else; LogLineParser then reads the line the slow way, so old
// forms are still read and every line that is no record gets its reason.
class RecordScanner final
{
public:
    explicit RecordScanner(const QLocale &locale);

    // Whether the locale's forms can be matched byte by byte at all.
    bool usable() const { return m_usable; }

    // Reads a line without its CR LF. On success stores the wall-clock
    // seconds since 1970 and the readings (at most `capacity`), and returns
    // how many readings there were; -1 when the line is not a plain record.
    int scan(const char *begin, const char *end, qint64 &wall, float *values, int capacity) const;

private:
    using Field = TimeStampParser::Field;
    struct Token
    {
        Field field;
        int width = 0;
        QByteArray text;
    };
    struct Names
    {
        // Longest first, so the longest match wins.
        std::vector<std::pair<QByteArray, int>> forms;
    };

    bool stamp(const char *&p, const char *end, qint64 &wall) const;
    static bool matchName(const char *&p, const char *end, const Names &names, int &index);
    static bool startsWithNoCase(const char *p, const char *end, const QByteArray &text);

    bool m_usable = true;
    std::vector<Token> m_tokens;
    QByteArray m_am, m_pm;
    Names m_months, m_days;
    std::vector<QByteArray> m_spaces; // what the form's spaces may be in the file
    char m_separators[3] = {'.', '.', '.'};
};

} // namespace kestrin
