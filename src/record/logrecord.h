#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>

#include <span>

namespace kestrin {

// One line of the log file: the local time stamp, then every reading in
// print form, " , " between them, CR LF at the end. Readings but the last are
// padded to the next 14-column print zone so the separators line up.
class LogRecord final
{
public:
    static constexpr int PrintZoneWidth = 14;

    static QString text(const QDateTime &when, std::span<const float> readings, const QLocale &locale);
    // The line as it goes to the file: 8-bit text in the locale's encoding.
    static QByteArray bytes(const QDateTime &when, std::span<const float> readings, const QLocale &locale);

    // "12/7/2026 10:45:41 AM" with US settings, "07.12.2026 10:45:41" with
    // German ones: the short date with a four-digit year and the time with
    // seconds, never a time zone, also at midnight. The order, separators and
    // AM/PM texts are the locale's; the digits are ASCII and direction marks
    // are left out, so the file reads back anywhere.
    static QString timeStamp(const QDateTime &when, const QLocale &locale);
};

} // namespace kestrin
