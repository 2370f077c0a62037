#pragma once

#include <QDate>
#include <QList>
#include <QStringView>
#include <QTimeZone>

#include <optional>

namespace kestrin {

enum class PeriodKind { Day, Week, Month };

// One period of a report: local dates, both inclusive, and the moments
// that bound it (the local midnight that starts it and the one after it).
struct Period
{
    QDate first, last;
    qint64 startUtc = 0, endUtc = 0; // [startUtc, endUtc)
};

// Cuts a range of local dates into days, weeks or months by the rules of
// one time zone, so a day is 23 or 25 hours long where summer time starts
// or ends, and a day whose midnight is skipped starts when the clock jumps.
class PeriodSplitter final
{
public:
    PeriodSplitter(const QTimeZone &zone, Qt::DayOfWeek firstDayOfWeek);

    // The calendar periods that meet [from, to]; the first and the last are
    // cut to the range.
    QList<Period> split(PeriodKind kind, QDate from, QDate to) const;

    // The first moment whose local date is `date`.
    qint64 startOfDay(QDate date) const;
    int offsetAt(qint64 utc) const;
    QDate localDate(qint64 utc) const;
    const QTimeZone &zone() const { return m_zone; }

    static std::optional<PeriodKind> kindFromName(QStringView name);

private:
    QTimeZone m_zone;
    Qt::DayOfWeek m_firstDay;
};

} // namespace kestrin
