#pragma once

#include <QDate>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringView>

#include <optional>

namespace kestrin {

// Reads the log's time stamp: the locale's short date with a four-digit year,
// a space, the time with seconds. The format is taken apart once, so a
// million stamps cost no QLocale parsing each; formats with month or day
// names fall back to QLocale.
//
// The stamp is first brought to plain form: native digits become ASCII and
// direction marks go, which is how the writer puts them and also reads the
// stamps of writers that kept them.
class TimeStampParser final
{
public:
    struct Result
    {
        QDate date;
        int secondsOfDay = 0;
    };

    explicit TimeStampParser(const QLocale &locale);

    std::optional<Result> parse(QStringView stamp) const;
    QString format() const { return m_format; }

    static QString plainForm(QStringView text);
    static bool isDirectionMark(char16_t c);

private:
    enum class Field { Literal, Space, Day, Month, Year, Hour12, Hour24, Minute, Second, AmPm };
    struct Token
    {
        Field field;
        int width = 0; // digits: 1 = one or two, 2 = exactly two, 4 = exactly four
        QString text;  // literal text
    };

    std::optional<Result> parseFallback(QStringView plain) const;

    QLocale m_locale;
    QString m_format;
    QList<Token> m_tokens;
    bool m_compiled = false;
    QString m_am, m_pm;
};

} // namespace kestrin
