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
    // How many ", " the stamp itself holds: the record's own ", " follows them.
    int commasInStamp() const { return m_commas; }

    static QString plainForm(QStringView text);

    // The stamp's form taken apart, for readers that match it byte by byte.
    enum class Field { Literal, Space, Day, DayName, Month, MonthName, Year, Hour12, Hour24, Minute, Second, AmPm };
    struct Token
    {
        Field field;
        int width = 0; // digits: 1 = one or two, 2 = exactly two, 4 = exactly four
        QString text;  // literal text
    };
    // False when the form has fields only QLocale reads (time zones, eras).
    bool compiled() const { return m_compiled; }
    const QList<Token> &tokens() const { return m_tokens; }
    QString amText() const { return m_am; }
    QString pmText() const { return m_pm; }
    // [month - 1] and [day - 1]: every form of each name, in plain form.
    const QList<QStringList> &monthNames() const { return m_monthNames; }
    const QList<QStringList> &dayNames() const { return m_dayNames; }

private:
    std::optional<Result> parseFallback(QStringView plain) const;
    // Index (1-12 or 0-6) of the longest name in `names` at the start of `text`.
    static int matchName(QStringView text, const QList<QStringList> &names, qsizetype &length);

    QLocale m_locale;
    QString m_format;
    QList<Token> m_tokens;
    bool m_compiled = false;
    QString m_am, m_pm;
    QList<QStringList> m_monthNames; // [month - 1]: every form of its name
    QList<QStringList> m_dayNames;
    int m_commas = 0; // ", " inside the stamp itself
};

} // namespace kestrin
