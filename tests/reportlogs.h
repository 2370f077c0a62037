#pragma once

// Synthetic logs for the report tests, written by the real record writer so
// that they read back through the real reader.

#include "logrecord.h"
#include "logreader.h"
#include "logseries.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QString>

#include <cmath>
#include <ctime>
#include <functional>
#include <vector>

namespace kestrin::testing {

// Local wall time to a moment, by the C library, not by Qt or the reader.
inline qint64 localMoment(QDate date, QTime time)
{
    std::tm tm{};
    tm.tm_year = date.year() - 1900;
    tm.tm_mon = date.month() - 1;
    tm.tm_mday = date.day();
    tm.tm_hour = time.hour();
    tm.tm_min = time.minute();
    tm.tm_sec = time.second();
    tm.tm_isdst = -1;
    return qint64(std::mktime(&tm));
}

inline int offsetAt(qint64 utc)
{
    const std::time_t t = std::time_t(utc);
    std::tm tm{};
    localtime_r(&t, &tm);
    return int(tm.tm_gmtoff);
}

// "2026-07-14T10:00:00", the wall time of a moment by the C library.
inline QString wallText(qint64 utc)
{
    return QDateTime::fromSecsSinceEpoch(utc + offsetAt(utc), Qt::UTC).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

class LogMaker
{
public:
    using Readings = std::function<std::vector<float>(qint64 utc)>;

    explicit LogMaker(const QLocale &locale = QLocale::system())
        : m_locale(locale)
    {
    }

    // Records every `step` seconds from `from` up to, not including, `to`.
    LogMaker &add(qint64 from, qint64 to, qint64 step, const Readings &readings)
    {
        for (qint64 t = from; t < to; t += step)
            m_bytes += LogRecord::bytes(QDateTime::fromSecsSinceEpoch(t), readings(t), m_locale);
        return *this;
    }
    LogMaker &add(qint64 from, qint64 to, qint64 step, std::vector<float> readings)
    {
        return add(from, to, step, [readings](qint64) { return readings; });
    }

    QByteArray bytes() const { return m_bytes; }

private:
    QLocale m_locale;
    QByteArray m_bytes;
};

// Writes `bytes` to `path` and reads it back into `series`; the reader's
// error, if any.
inline QString readBack(const QByteArray &bytes, const QString &path, LogSeries &series)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return file.errorString();
    file.close();
    const auto result = LogReader::readFile(path, QLocale::system(), [&](const LogBatch &b) { series.append(b); });
    return result.error.value_or(QString());
}

// The mean kinetic temperature from its definition, ΔH/R = 83144 / 8.3144.
inline double mktOf(const std::vector<std::pair<double, double>> &shares) // {°C, share}
{
    double sum = 0;
    for (const auto &[celsius, share] : shares)
        sum += share * std::exp(-(83144.0 / 8.3144) / (celsius + 273.15));
    return (83144.0 / 8.3144) / -std::log(sum) - 273.15;
}

} // namespace kestrin::testing
