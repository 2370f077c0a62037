// A report's figures from synthetic logs with known answers, in the zone and
// the locale of the process (TZ, LANG and LC_ALL from CTest). Times are
// worked out by the C library, the mean kinetic temperature from its
// formula, so no expected value comes from the code under test.
#include "reportbuilder.h"
#include "reportlogs.h"

#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace kestrin;
using namespace kestrin::testing;

namespace {

const QDate day(2026, 7, 14); // no zone under test changes its offset near it

qint64 at(int dayOffset, int h, int m = 0, int s = 0)
{
    return localMoment(day.addDays(dayOffset), QTime(h, m, s));
}

// 4.5 and 5.5 by turns, so that no reading stands still for an hour.
float wobble(qint64 t, qint64 step)
{
    return (t / step) % 2 == 0 ? 4.5f : 5.5f;
}

struct Expected
{
    qint64 records = 0;
    double coverage = 0;
    double minimum = 0, maximum = 0;
    QString minimumAt, maximumAt; // wall times; empty: not checked
    double mean = qQNaN(), mkt = qQNaN();
    int excursions = -1; // -1: the fields are empty
    double minutes = 0;
    QString excursion; // the first one: "start end peak minutes how"
    int flatRuns = -1;  // -1: not checked
    int gaps = 0;
};

// The mean and the MKT of readings every `step` s over [from, to).
void averages(qint64 from, qint64 to, qint64 step, const std::function<float(qint64)> &value, Expected &e)
{
    std::map<float, double> counts;
    double sum = 0, n = 0;
    for (qint64 t = from; t < to; t += step) {
        const float v = value(t);
        counts[v] += 1;
        sum += v;
        n += 1;
    }
    std::vector<std::pair<double, double>> shares;
    for (const auto &[v, count] : counts)
        shares.push_back({v, count / n});
    e.mean = sum / n;
    e.mkt = mktOf(shares);
}

} // namespace

Q_DECLARE_METATYPE(Expected)

class ReportBuilderTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void figures_data();
    void figures();
};

void ReportBuilderTest::initTestCase()
{
    QVERIFY2(!qEnvironmentVariableIsEmpty("TZ"), "the zone under test comes from TZ");
    tzset();
    qInfo("TZ=%s, %s", qPrintable(qEnvironmentVariable("TZ")), qPrintable(QLocale::system().name()));
}

void ReportBuilderTest::figures_data()
{
    QTest::addColumn<QByteArray>("log");
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<int>("period");
    QTest::addColumn<int>("sensor");
    QTest::addColumn<Expected>("expected");
    const double none = qQNaN();

    {
        // 3 °C at 06:00 and again at 20:00: the first one counts.
        auto value = [](qint64 t) {
            if (t == at(0, 6) || t == at(0, 20))
                return 3.0f;
            if (t == at(0, 15))
                return 7.0f;
            return wobble(t, 60);
        };
        const QByteArray log = LogMaker().add(at(-1, 23), at(1, 1), 60, [&](qint64 t) { return std::vector{value(t)}; }).bytes();
        Expected e;
        e.records = 1440;
        e.coverage = 100;
        e.minimum = 3;
        e.minimumAt = wallText(at(0, 6));
        e.maximum = 7;
        e.maximumAt = wallText(at(0, 15));
        averages(at(0, 0), at(1, 0), 60, value, e);
        e.excursions = 0;
        e.flatRuns = 0;
        QTest::newRow("a day inside the range") << log << 2.0 << 8.0 << QDate() << QDate() << 1 << 0 << e;
        e.excursions = -1;
        QTest::newRow("a sensor without limits") << log << none << none << QDate() << QDate() << 1 << 0 << e;
    }
    {
        auto value = [](qint64 t) {
            if (t == at(0, 10, 45))
                return 9.5f;
            return t >= at(0, 10) && t < at(0, 11, 30) ? 9.0f : wobble(t, 30);
        };
        const QByteArray log = LogMaker().add(at(-1, 23), at(1, 1), 30, [&](qint64 t) { return std::vector{value(t)}; }).bytes();
        Expected e;
        e.records = 2880;
        e.coverage = 100;
        e.minimum = 4.5;
        e.maximum = 9.5;
        e.maximumAt = wallText(at(0, 10, 45));
        e.excursions = 1;
        e.minutes = 90;
        e.excursion = wallText(at(0, 10)) + u' ' + wallText(at(0, 11, 30)) + QStringLiteral(" 9.5 90.00 back");
        QTest::newRow("one excursion of 90 minutes") << log << 2.0 << 8.0 << QDate() << QDate() << 1 << 0 << e;
    }
    {
        auto value = [](qint64 t) { return t >= at(0, 23) && t < at(1, 1, 30) ? 1.5f : wobble(t, 60); };
        const QByteArray log = LogMaker().add(at(0, 12), at(1, 12), 60, [&](qint64 t) { return std::vector{value(t)}; }).bytes();
        Expected e;
        e.minimum = 1.5;
        e.maximum = 5.5;
        e.excursions = 1;
        const QString stretch = wallText(at(0, 23)) + u' ' + wallText(at(1, 1, 30)) + QStringLiteral(" 1.5 ");
        e.records = 720;
        e.coverage = 50;
        e.minimumAt = wallText(at(0, 23));
        e.minutes = 60;
        e.excursion = stretch + QStringLiteral("60.00 back");
        QTest::newRow("across midnight: the first day") << log << 2.0 << 8.0 << QDate() << QDate() << 0 << 0 << e;
        e.coverage = 100 * 43140.0 / 86400; // up to the last record, 11:59
        e.minimumAt = wallText(at(1, 0));
        e.minutes = 90;
        e.excursion = stretch + QStringLiteral("90.00 back");
        QTest::newRow("across midnight: the second day") << log << 2.0 << 8.0 << QDate() << QDate() << 1 << 0 << e;
    }
    {
        // Nothing from 08:00 to 11:00; out of range from 07:00 to 11:30.
        auto value = [](qint64 t) { return t >= at(0, 7) && t < at(0, 11, 30) ? 9.0f : wobble(t, 10); };
        auto readings = [&](qint64 t) { return std::vector{value(t)}; };
        const QByteArray log = LogMaker().add(at(-1, 23), at(0, 8), 10, readings).add(at(0, 11), at(1, 1), 10, readings).bytes();
        Expected e;
        e.records = 21 * 360;
        e.coverage = 100 * (86400 - 10810) / 86400.0; // 07:59:50 to 11:00 is not covered
        e.minimum = 4.5;
        e.maximum = 9;
        e.maximumAt = wallText(at(0, 7));
        e.excursions = 2;
        e.minutes = 59 + 50 / 60.0 + 30;
        e.excursion = wallText(at(0, 7)) + u' ' + wallText(at(0, 7, 59, 50)) + QStringLiteral(" 9 59.83 gap");
        e.gaps = 1;
        QTest::newRow("a gap of three hours") << log << 2.0 << 8.0 << QDate() << QDate() << 1 << 0 << e;
    }
    {
        // The second sensor stands still from 09:00 to 11:00.
        auto readings = [](qint64 t) {
            const float second = t >= at(0, 9) && t < at(0, 11) ? 4.25f : wobble(t, 60) + 1;
            return std::vector{wobble(t, 60), second};
        };
        const QByteArray log = LogMaker().add(at(-1, 23), at(1, 1), 60, readings).bytes();
        Expected e;
        e.records = 1440;
        e.coverage = 100;
        e.minimum = 4.5;
        e.maximum = 5.5;
        e.flatRuns = 0;
        QTest::newRow("a flat run: the sensor beside it") << log << none << none << QDate() << QDate() << 1 << 0 << e;
        e.minimum = 4.25;
        e.minimumAt = wallText(at(0, 9));
        e.maximum = 6.5;
        e.flatRuns = 1;
        QTest::newRow("a flat run") << log << none << none << QDate() << QDate() << 1 << 1 << e;
    }
    {
        Expected e;
        e.records = 1440;
        e.coverage = 100;
        e.minimum = e.maximum = e.mean = 5;
        e.mkt = 5; // exactly: every term is the same
        QTest::newRow("MKT of a constant 5 °C")
            << LogMaker().add(at(-1, 23), at(1, 1), 60, {5.0f}).bytes() << none << none << QDate() << QDate() << 1 << 0 << e;
        e.minimum = 2;
        e.maximum = 8;
        e.mkt = mktOf({{2, 0.5}, {8, 0.5}});
        QCOMPARE(QString::number(e.mkt, 'f', 3), QStringLiteral("5.536"));
        QTest::newRow("MKT of 2 °C and 8 °C half each")
            << LogMaker().add(at(-1, 23), at(0, 12), 60, {2.0f}).add(at(0, 12), at(1, 1), 60, {8.0f}).bytes() << none
            << none << QDate() << QDate() << 1 << 0 << e;
    }
    {
        const QByteArray log = LogMaker().add(at(0, 0), at(1, 0), 60, {5.0f}).add(at(2, 0), at(3, 0), 60, {5.0f}).bytes();
        Expected e;
        e.excursions = 0;
        e.gaps = 1;
        QTest::newRow("a day without records") << log << 2.0 << 8.0 << day << day.addDays(2) << 1 << 0 << e;
        QTest::newRow("a day after the log") << log << 2.0 << 8.0 << day.addDays(3) << day.addDays(3) << 0 << 0
                                            << Expected{0, 0, 0, 0, {}, {}, qQNaN(), qQNaN(), 0, 0, {}, 0, 0};
    }

    // The days on which the clock changes: 23 and 25 hours in New York, as
    // long as the C library says elsewhere. A record a minute, an hour
    // beyond each end.
    const bool newYork = qEnvironmentVariable("TZ") == u"America/New_York";
    const QDate changes[] = {QDate(2026, 3, 8), QDate(2026, 11, 1)};
    for (QDate date = QDate(2026, 1, 1); date.year() == 2026; date = date.addDays(1)) {
        const qint64 start = localMoment(date, QTime(0, 0)), end = localMoment(date.addDays(1), QTime(0, 0));
        if (end - start == 86400)
            continue;
        if (newYork)
            QVERIFY(date == changes[0] || date == changes[1]);
        Expected e;
        e.records = newYork ? (date == changes[0] ? 23 * 60 : 25 * 60) : (end - start) / 60;
        e.coverage = 100;
        e.minimum = 4.5;
        e.maximum = 5.5;
        e.flatRuns = 0;
        const QByteArray log = LogMaker().add(start - 3600, end + 3600, 60, [](qint64 t) { return std::vector{wobble(t, 60)}; }).bytes();
        QTest::newRow(qPrintable(QStringLiteral("a day of %1 hours, %2").arg(double(end - start) / 3600).arg(date.toString(Qt::ISODate))))
            << log << none << none << date << date << 0 << 0 << e;
    }
}

void ReportBuilderTest::figures()
{
    QFETCH(QByteArray, log);
    QFETCH(double, low);
    QFETCH(double, high);
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(int, period);
    QFETCH(int, sensor);
    QFETCH(Expected, expected);

    QTemporaryDir dir;
    LogSeries series;
    const QString error = readBack(log, dir.filePath(QStringLiteral("records.txt")), series);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    SiteFile site;
    site.fileName = QStringLiteral("site.ini");
    for (int s = 0; s < series.sensors(); ++s) {
        SiteFile::Sensor known;
        known.number = s + 1;
        if (!std::isnan(low))
            known.low = low;
        if (!std::isnan(high))
            known.high = high;
        site.sensors.push_back(known);
    }
    const PeriodSplitter splitter(QTimeZone::systemTimeZone(), QLocale::system().firstDayOfWeek());
    const Report report = ReportBuilder(splitter).build(series, site, PeriodKind::Day,
                                                        from.isValid() ? std::optional(from) : std::nullopt,
                                                        to.isValid() ? std::optional(to) : std::nullopt);
    QVERIFY(period < report.periods.size());
    const ReportPeriod &rp = report.periods[period];
    const QDate date = (from.isValid() ? from : QDateTime::fromSecsSinceEpoch(series.times()[0] + series.offsetAt(0), Qt::UTC).date())
                           .addDays(period);
    QCOMPARE(rp.period.startUtc, localMoment(date, QTime(0, 0)));
    QCOMPARE(rp.startOffset, offsetAt(rp.period.startUtc));
    QCOMPARE(rp.period.endUtc, localMoment(date.addDays(1), QTime(0, 0)));
    QCOMPARE(rp.gaps.size(), qsizetype(expected.gaps));
    QVERIFY2(std::abs(rp.coveragePercent - expected.coverage) < 1e-9,
             qPrintable(QStringLiteral("coverage %1, expected %2").arg(rp.coveragePercent).arg(expected.coverage)));

    const SensorPeriod &f = rp.sensors[sensor];
    QCOMPARE(f.records, expected.records);
    if (expected.records > 0) {
        QCOMPARE(double(f.minimum), expected.minimum);
        QCOMPARE(double(f.maximum), expected.maximum);
        if (!expected.minimumAt.isEmpty())
            QCOMPARE(wallText(f.minimumAt.utc), expected.minimumAt);
        if (!expected.maximumAt.isEmpty())
            QCOMPARE(wallText(f.maximumAt.utc), expected.maximumAt);
        QCOMPARE(f.minimumAt.offset, offsetAt(f.minimumAt.utc));
        if (!std::isnan(expected.mean))
            QVERIFY2(std::abs(f.mean - expected.mean) < 1e-9, qPrintable(QString::number(f.mean, 'g', 17)));
        if (!std::isnan(expected.mkt))
            QVERIFY2(std::abs(f.mkt - expected.mkt) < 1e-9, qPrintable(QString::number(f.mkt, 'g', 17)));
    }
    QCOMPARE(report.limits[sensor].any(), expected.excursions >= 0);
    if (expected.excursions >= 0) {
        QCOMPARE(f.excursions, expected.excursions);
        QVERIFY2(std::abs(f.minutesOutOfRange - expected.minutes) < 1e-9, qPrintable(QString::number(f.minutesOutOfRange)));
    }
    if (!expected.excursion.isEmpty()) {
        QVERIFY(!f.excursionIndexes.isEmpty());
        const Excursion &x = report.excursions[sensor][f.excursionIndexes[0]];
        const char *how[] = {"back", "gap", "end"};
        QCOMPARE(QStringLiteral("%1 %2 %3 %4 %5")
                     .arg(wallText(x.start), wallText(x.end))
                     .arg(double(x.peak))
                     .arg(f.excursionMinutes[0], 0, 'f', 2)
                     .arg(QLatin1String(how[int(x.how)])),
                 expected.excursion);
    }
    if (expected.flatRuns >= 0)
        QCOMPARE(f.flatRuns.size(), qsizetype(expected.flatRuns));
}

QTEST_GUILESS_MAIN(ReportBuilderTest)
#include "reportbuilder_test.moc"
