#pragma once

#include "logbatch.h"

#include <QByteArray>
#include <QIODevice>
#include <QLocale>
#include <QString>

#include <functional>
#include <optional>

namespace kestrin {

// RFC 4180 text for records: "time,sensor1,...", then one row per record
// with the time in ISO 8601 with its UTC offset and every reading with "."
// in the shortest form that reads back as the logged value.
class CsvWriter final
{
public:
    static QByteArray header(int readings);
    // Appends one row per record of `batch`.
    static void appendRows(const LogBatch &batch, QByteArray &out);
    // "2026-12-08T10:45:41+01:00"
    static void appendTime(qint64 utc, int offset, QByteArray &out);
    static void appendReading(float value, QByteArray &out);

    // Writes the CSV of a whole log to `out`; lines that are no record go to
    // `skipped` (none when the file holds no record at all: the error says
    // it). Returns the error that stopped it, if any; a failed write says
    // "OUTNAME: reason".
    static std::optional<QString> exportLog(const QString &path, const QLocale &locale, QIODevice &out,
                                            const std::function<void(const LogProblem &)> &skipped,
                                            const QString &outName = QStringLiteral("output"));
};

} // namespace kestrin
