#include "alarmannouncer.h"
#include "bridge.h"
#include "bridgeservices.h"
#include "bridgestatus.h"

#include <QSignalSpy>
#include <QTest>

using namespace kestrin;

namespace {

struct Fakes final : Clock, MessageLog, DesktopNotifier, CommandLauncher
{
    qint64 utc = 1000;
    double mono = 0;
    QStringList lines;
    qint64 utcSeconds() const override { return utc; }
    double monotonicSeconds() const override { return mono; }
    void write(const QString &line) override { lines << line; }
    void notify(const QString &, const QString &, bool) override {}
    void launch(const QString &, const QMap<QString, QString> &) override {}
    QStringList alarms() const { return lines.filter(QStringLiteral(" alarm ")); }
};

BridgeSettings settings()
{
    BridgeSettings s;
    s.site = QStringLiteral("t");
    s.staleAfterMinutes = 1;
    SensorSettings one;
    one.number = 1;
    one.rom = QStringLiteral("9C000000B4A89828");
    one.high = 25;
    one.delay = 1;
    SensorSettings two;
    two.number = 2;
    two.rom = QStringLiteral("06000000A4EC7428");
    s.sensors = {one, two};
    return s;
}

// Records of two readings each, stamped from `first` 8 s apart.
LogBatchPtr batch(qint64 first, std::vector<std::pair<float, float>> values, int problems = 0)
{
    auto b = std::make_shared<LogBatch>();
    b->readingsPerRecord = 2;
    for (std::size_t i = 0; i < values.size(); ++i) {
        b->times.push_back(first + qint64(8 * i));
        b->offsets.push_back(0);
        b->values.push_back(values[i].first);
        b->values.push_back(values[i].second);
    }
    for (int i = 0; i < problems; ++i)
        b->problems.push_back({i + 1, QStringLiteral("an empty line")});
    return b;
}

} // namespace

class BridgeTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void followsTheLog_data();
    void followsTheLog();
};

// Each step: "H" a batch of history, "C" caught up, "L" a live batch,
// "R" restarted, "F" failed, "T" a tick 70 s later.
void BridgeTest::followsTheLog_data()
{
    QTest::addColumn<QByteArray>("steps");
    QTest::addColumn<QByteArrayList>("alarms");
    QTest::addColumn<int>("brokerUpdates");
    QTest::addColumn<double>("lastValue"); // sensor 1's in the last snapshot
    QTest::addColumn<qint64>("records");
    QTest::addColumn<qint64>("skipped");
    QTest::newRow("history, then live records")
        << QByteArray("H C L") << QByteArrayList{"high alarm raised: sensor 1 reads 26 °C, above 25 °C"} << 3 << 26.0
        << qint64(5) << qint64(0);
    QTest::newRow("history that ends in an alarm: raised once, at the end")
        << QByteArray("h C") << QByteArrayList{"high alarm raised: sensor 1 reads 27 °C, above 25 °C"} << 1 << 27.0
        << qint64(3) << qint64(0);
    QTest::newRow("a replaced log that no longer holds the alarm")
        << QByteArray("h C R H C")
        << QByteArrayList{"high alarm raised: sensor 1 reads 27 °C, above 25 °C", "high alarm cleared: sensor 1 reads 21 °C"}
        << 2 << 21.0 << qint64(6) << qint64(0);
    QTest::newRow("a missing log: stale after stale_after")
        << QByteArray("F T") << QByteArrayList{"stale alarm raised: no new record for 1 minute"} << 2 << qQNaN()
        << qint64(0) << qint64(0);
    QTest::newRow("lines that are no record are counted across a restart")
        << QByteArray("P C R P C") << QByteArrayList{} << 2 << 21.0 << qint64(6) << qint64(4);
}

void BridgeTest::followsTheLog()
{
    QFETCH(QByteArray, steps);
    QFETCH(QByteArrayList, alarms);
    QFETCH(int, brokerUpdates);
    QFETCH(double, lastValue);
    QFETCH(qint64, records);
    QFETCH(qint64, skipped);
    Fakes fakes;
    const BridgeSettings s = settings();
    AlarmAnnouncer announcer(s, fakes, fakes, fakes);
    BridgeStatus status;
    Bridge bridge(s, QStringLiteral("records.txt"), status, fakes, fakes, announcer);
    QSignalSpy changed(&bridge, &Bridge::changed);
    for (const QByteArray &step : steps.split(' ')) {
        const qint64 now = fakes.utc;
        if (step == "H")
            bridge.take(batch(now - 24, {{20, 1}, {21, 1}, {21, 1}}));
        else if (step == "h")
            bridge.take(batch(now - 24, {{20, 1}, {26, 1}, {27, 1}}));
        else if (step == "P")
            bridge.take(batch(now - 24, {{20, 1}, {21, 1}, {21, 1}}, 2));
        else if (step == "L")
            bridge.take(batch(now, {{24, 1}, {26, 1}}));
        else if (step == "C")
            bridge.caughtUp(3);
        else if (step == "R")
            bridge.restarted();
        else if (step == "F")
            bridge.failed(QStringLiteral("records.txt: No such file or directory"));
        else if (step == "T") {
            fakes.utc += 70;
            fakes.mono += 70;
            bridge.tick();
        }
        fakes.utc += 1;
        fakes.mono += 1;
    }
    QByteArrayList seen;
    for (const QString &line : fakes.alarms())
        seen << line.toUtf8();
    QCOMPARE(seen, alarms);
    QCOMPARE(changed.count(), brokerUpdates);
    const BridgeSnapshotPtr snapshot = status.snapshot();
    QCOMPARE(snapshot->records, records);
    QCOMPARE(snapshot->linesSkipped, skipped);
    QCOMPARE(snapshot->sensors.size(), std::size_t(2));
    if (qIsNaN(lastValue)) {
        QVERIFY(!snapshot->sensors[0].hasValue);
    } else {
        QVERIFY(snapshot->sensors[0].hasValue);
        QCOMPARE(double(snapshot->sensors[0].value), lastValue);
    }
}

QTEST_GUILESS_MAIN(BridgeTest)
#include "bridge_test.moc"
