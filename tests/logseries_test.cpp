#include "logseries.h"

#include <QTest>

#include <algorithm>
#include <random>

using namespace kestrin;

namespace {

// One sensor: records every `step` seconds from t=1000, with the values given.
LogBatch batchOf(const std::vector<qint64> &times, const std::vector<float> &values)
{
    LogBatch b;
    b.readingsPerRecord = 1;
    b.times = times;
    b.offsets.assign(times.size(), 0);
    b.values = values;
    return b;
}

std::vector<qint64> evenly(int count, qint64 step, qint64 start = 1000)
{
    std::vector<qint64> t(count);
    for (int i = 0; i < count; ++i)
        t[i] = start + i * step;
    return t;
}

} // namespace

class LogSeriesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void reductionKeepsEveryExtreme_data();
    void reductionKeepsEveryExtreme();
    void notices_data();
    void notices();
    void figuresAcrossBatches();
};

void LogSeriesTest::reductionKeepsEveryExtreme_data()
{
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("columns");
    QTest::addColumn<double>("fromFraction");
    QTest::addColumn<double>("toFraction");
    QTest::newRow("all of 100000 on 800 columns") << 100000 << 800 << 0.0 << 1.0;
    QTest::newRow("a middle slice") << 100000 << 333 << 0.37 << 0.41;
    QTest::newRow("few records: every one") << 500 << 800 << 0.0 << 1.0;
    QTest::newRow("one column") << 5000 << 1 << 0.1 << 0.9;
}

void LogSeriesTest::reductionKeepsEveryExtreme()
{
    QFETCH(int, records);
    QFETCH(int, columns);
    QFETCH(double, fromFraction);
    QFETCH(double, toFraction);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> noise(-1, 1);
    std::vector<float> values(records);
    for (int i = 0; i < records; ++i)
        values[i] = 20 + noise(random);
    LogSeries series;
    // In pieces, as a followed file arrives.
    const std::vector<qint64> times = evenly(records, 8);
    for (int at = 0; at < records; at += 777) {
        const int n = std::min(777, records - at);
        series.append(batchOf({times.begin() + at, times.begin() + at + n}, {values.begin() + at, values.begin() + at + n}));
    }
    const double first = times.front() * 1000.0, last = times.back() * 1000.0;
    const double from = first + (last - first) * fromFraction, to = first + (last - first) * toFraction;
    const QList<QPointF> points = series.reduce(0, from, to, columns);

    QVERIFY(points.size() <= 2 * columns + 4);
    QVERIFY(std::is_sorted(points.begin(), points.end(), [](QPointF a, QPointF b) { return a.x() < b.x(); }));
    // Each point is a record, and in every pixel column the lowest and the
    // highest record are among the points.
    auto has = [&](qsizetype i) {
        return std::any_of(points.begin(), points.end(), [&](QPointF p) {
            return p.x() == times[i] * 1000.0 && p.y() == values[i];
        });
    };
    const double width = (to - from) / columns;
    for (int c = 0; c < columns; ++c) {
        qsizetype lo = -1, hi = -1;
        for (int i = 0; i < records; ++i) {
            const double x = times[i] * 1000.0;
            if (x < from + c * width || x >= from + (c + 1) * width)
                continue;
            if (lo < 0 || values[i] < values[lo])
                lo = i;
            if (hi < 0 || values[i] > values[hi])
                hi = i;
        }
        if (lo >= 0)
            QVERIFY2(has(lo) && has(hi), qPrintable(QStringLiteral("column %1").arg(c)));
    }
}

void LogSeriesTest::notices_data()
{
    QTest::addColumn<std::vector<qint64>>("times");
    QTest::addColumn<std::vector<float>>("values");
    QTest::addColumn<int>("gaps");
    QTest::addColumn<int>("flatRuns");

    std::vector<qint64> even = evenly(1000, 8);
    std::vector<float> moving(1000);
    for (int i = 0; i < 1000; ++i)
        moving[i] = float(i % 7);
    QTest::newRow("steady") << even << moving << 0 << 0;
    std::vector<qint64> paused = even;
    for (std::size_t i = 500; i < paused.size(); ++i)
        paused[i] += 25; // 33 s once: over 3 x 8 s
    QTest::newRow("one pause over three passes") << paused << moving << 1 << 0;
    std::vector<qint64> shortPause = even;
    for (std::size_t i = 500; i < shortPause.size(); ++i)
        shortPause[i] += 15; // 23 s: under 3 x 8 s
    QTest::newRow("pause under three passes") << shortPause << moving << 0 << 0;
    std::vector<float> stuck = moving;
    std::fill(stuck.begin() + 100, stuck.begin() + 100 + 451, 85.0f); // 450 x 8 s = one hour
    QTest::newRow("flat for an hour") << even << stuck << 0 << 1;
    std::vector<float> almost = moving;
    std::fill(almost.begin() + 100, almost.begin() + 100 + 450, 85.0f); // 449 x 8 s
    QTest::newRow("flat for under an hour") << even << almost << 0 << 0;
    std::vector<float> lastDigit = stuck;
    lastDigit[300] = 85.0625f;
    QTest::newRow("a change in the last digit breaks the run") << even << lastDigit << 0 << 0;
}

void LogSeriesTest::notices()
{
    QFETCH(std::vector<qint64>, times);
    QFETCH(std::vector<float>, values);
    QFETCH(int, gaps);
    QFETCH(int, flatRuns);
    LogSeries series;
    // In two pieces, cutting through the pause and the flat run.
    const std::size_t cut = 500;
    series.append(batchOf({times.begin(), times.begin() + cut}, {values.begin(), values.begin() + cut}));
    series.append(batchOf({times.begin() + cut, times.end()}, {values.begin() + cut, values.end()}));
    QCOMPARE(series.gaps().size(), gaps);
    QCOMPARE(series.flatRuns().size(), flatRuns);
}

void LogSeriesTest::figuresAcrossBatches()
{
    LogSeries series;
    series.append(batchOf({10, 20}, {21.5f, -3.0f}));
    series.append(batchOf({30}, {4.0f}));
    const LogSeries::SensorFigures f = series.figures(0);
    QCOMPARE(f.minimum, -3.0f);
    QCOMPARE(f.maximum, 21.5f);
    QCOMPARE(f.mean, 22.5 / 3);
    QCOMPARE(f.last, 4.0f);
    QCOMPARE(f.records, 3);
    QCOMPARE(series.nearest(24), 1);
    QCOMPARE(series.nearest(26), 2);
}

QTEST_GUILESS_MAIN(LogSeriesTest)
#include "logseries_test.moc"
