#pragma once

#include "logbatch.h"

#include <QByteArray>
#include <QIODevice>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace kestrin {

// RFC 4180 text for records: "time,sensor1,...", then one row per record
// with the time in ISO 8601 with its UTC offset and every reading with "."
// in the shortest form that reads back as the logged value.
class CsvWriter final
{
public:
    // "time,sensor1,...", or where `names` has a name for a sensor, the name
    // in double quotes (inner quotes doubled): "time,""Freezer 2"",sensor2".
    static QByteArray header(int readings, const QStringList &names = {});
    // Appends one row per record of `batch`.
    static void appendRows(const LogBatch &batch, QByteArray &out);
    // "2026-12-08T10:45:41+01:00"
    static void appendTime(qint64 utc, int offset, QByteArray &out);
    static void appendReading(float value, QByteArray &out);

    // Writes the CSV of a whole log to `out`; lines that are no record go to
    // `skipped` (none when the file holds no record at all: the error says
    // it). Returns the error that stopped it, if any; a failed write says
    // "OUTNAME: reason". `width` hears how many readings the records have,
    // once the first one is read.
    static std::optional<QString> exportLog(const QString &path, const QLocale &locale, QIODevice &out,
                                            const std::function<void(const LogProblem &)> &skipped,
                                            const QString &outName = QStringLiteral("output"),
                                            const QStringList &names = {},
                                            const std::function<void(int readings)> &width = {});
};

} // namespace kestrin
