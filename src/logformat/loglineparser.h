#pragma once

#include "timestampparser.h"

#include <QLocale>
#include <QString>
#include <QStringView>

#include <vector>

namespace kestrin {

// Reads one record line (without its CR LF) as LogRecord::text writes it:
// the time stamp, ", ", then each reading in print form (a sign position,
// the digits, one space), padded to the next print zone with " , " between
// readings. The structure, not a split at commas, tells readings apart, so
// " ,5 " under a comma locale is one reading.
class LogLineParser final
{
public:
    struct Record
    {
        qint64 wall = 0; // wall-clock seconds since 1970, as LocalClock takes them
    };

    // A line with more readings than this is no record.
    static constexpr int MaxReadings = 64;

    explicit LogLineParser(const QLocale &locale);

    // Appends the readings to `values` only when the whole line is a record;
    // otherwise says why it is not one.
    bool parse(QStringView line, Record &record, std::vector<float> &values, QString &reason) const;

    const TimeStampParser &timeStamps() const { return m_stamps; }

private:
    bool isSeparator(char16_t c) const;
    // Reads " 21.5 " or "-.25 " at `pos`; leaves pos after the trailing space.
    bool reading(QStringView line, qsizetype &pos, float &value) const;

    TimeStampParser m_stamps;
    char16_t m_separators[3];
};

} // namespace kestrin
