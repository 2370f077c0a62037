#include "alarmengine.h"

#include <QTest>

#include <cmath>
#include <limits>

using namespace kestrin;

namespace {

constexpr double None = std::numeric_limits<double>::quiet_NaN();

std::optional<double> given(double value)
{
    return std::isnan(value) ? std::nullopt : std::optional<double>(value);
}

QString describe(const AlarmEvent &e)
{
    QString text = alarmKindName(e.kind) + (e.raised ? QStringLiteral(" raised") : QStringLiteral(" cleared"));
    if (e.sensor)
        text += QStringLiteral(" %1").arg(e.sensor);
    if (e.value)
        text += QStringLiteral(" %1").arg(double(*e.value));
    return text + QStringLiteral(" @%1").arg(e.utc);
}

} // namespace

class AlarmEngineTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sequences_data();
    void sequences();
};

// Steps, run in order; times are seconds, the wall clock and the monotonic
// clock alike unless a step gives both:
//   h T=V    a record stamped T read as history, at the current time
//   r T=V    a record stamped T arriving live, at time T
//   live     the history is read
//   at U[/M] the time is now U (monotonic M), and a tick
//   restart  the log was replaced: history again
void AlarmEngineTest::sequences_data()
{
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::addColumn<double>("hysteresis");
    QTest::addColumn<int>("delay");
    QTest::addColumn<double>("silentAfter"); // minutes
    QTest::addColumn<double>("staleAfter");  // minutes
    QTest::addColumn<QByteArray>("steps");
    QTest::addColumn<QByteArrayList>("events");

    QTest::newRow("crossing high, held for the delay, cleared below the hysteresis")
        << None << 25.0 << 0.5 << 2 << None << None
        << QByteArray("live r0=24 r8=26 r16=26 r24=24.6 r32=24.5")
        << QByteArrayList{"high raised 1 26 @16", "high cleared 1 24.5 @32"};
    QTest::newRow("one record beyond the limit is not enough with delay 2")
        << None << 25.0 << 0.5 << 2 << None << None << QByteArray("live r0=26 r8=24 r16=26 r24=24") << QByteArrayList{};
    QTest::newRow("the delay counts records in a row")
        << None << 25.0 << 0.5 << 3 << None << None << QByteArray("live r0=26 r8=26 r16=24 r24=26 r32=26 r40=26")
        << QByteArrayList{"high raised 1 26 @40"};
    QTest::newRow("hovering at the limit raises once and does not flap")
        << None << 25.0 << 0.5 << 1 << None << None << QByteArray("live r0=25.1 r8=24.9 r16=25.1 r24=24.8 r32=25.2 r40=24.6")
        << QByteArrayList{"high raised 1 25.1 @0"};
    QTest::newRow("a value equal to the limit is not beyond it")
        << None << 21.1 << 0.5 << 1 << None << None << QByteArray("live r0=21.1 r8=21.1 r16=21.2")
        << QByteArrayList{"high raised 1 21.2 @16"};
    QTest::newRow("crossing low, cleared above the hysteresis")
        << -30.0 << None << 0.5 << 2 << None << None << QByteArray("live r0=-29 r8=-31 r16=-31 r24=-29.6 r32=-29.5")
        << QByteArrayList{"low raised 1 -31 @16", "low cleared 1 -29.5 @32"};
    QTest::newRow("a reading outside -55..125 counts for neither limit")
        << -30.0 << 25.0 << 0.5 << 2 << None << None << QByteArray("live r0=-127 r8=-127 r16=26 r24=127.9 r32=26")
        << QByteArrayList{"high raised 1 26 @32"};
    QTest::newRow("a flat run raises silent, from the records' times")
        << None << None << 0.5 << 2 << 1.0 << None << QByteArray("live r0=20 r8=20 r16=20 r56=20 r64=20 r72=20.1")
        << QByteArrayList{"silent raised 1 20 @64", "silent cleared 1 20.1 @72"};
    QTest::newRow("silent_after in decimal minutes")
        << None << None << 0.5 << 2 << 0.1 << None << QByteArray("live r0=20 r4=20 r8=20") << QByteArrayList{"silent raised 1 20 @8"};
    QTest::newRow("a value that keeps changing is never silent")
        << None << None << 0.5 << 2 << 0.1 << None << QByteArray("live r0=20 r4=20.0625 r8=20 r12=20.0625 r16=20")
        << QByteArrayList{};
    QTest::newRow("stale after stale_after without a record, cleared by the next")
        << None << None << 0.5 << 2 << None << 1.0 << QByteArray("live r0=20 at59 at60 at61 r70=20")
        << QByteArrayList{"stale raised @60", "stale cleared @70"};
    QTest::newRow("no record at all: stale counts from the start")
        << None << None << 0.5 << 2 << None << 5.0 << QByteArray("live at299 at300") << QByteArrayList{"stale raised @300"};
    QTest::newRow("a jump of the wall clock does not make the log stale")
        << None << None << 0.5 << 2 << None << 1.0 << QByteArray("live r0=20 at3600/30 at3650/59") << QByteArrayList{};
    QTest::newRow("start on history: only what holds now is raised")
        << None << 25.0 << 0.5 << 1 << 1.0 << 5.0
        << QByteArray("h0=26 h8=24 h16=26 h24=26 h32=26 h40=26 h48=26 h56=26 h64=26 h72=26 h80=26 at90 live")
        << QByteArrayList{"high raised 1 26 @90", "silent raised 1 26 @90"};
    QTest::newRow("start on history whose alarm has cleared: nothing")
        << None << 25.0 << 0.5 << 1 << None << 5.0 << QByteArray("h0=26 h8=26 h16=24 at20 live") << QByteArrayList{};
    QTest::newRow("start on a log that stopped long ago: stale at once")
        << None << None << 0.5 << 2 << None << 5.0 << QByteArray("at1000 h0=20 h8=20 live")
        << QByteArrayList{"stale raised @1000"};
    QTest::newRow("start on a recent log: stale when its last stamp is stale_after old")
        << None << None << 0.5 << 2 << None << 5.0 << QByteArray("at100 h0=20 h8=20 live at307 at308")
        << QByteArrayList{"stale raised @308"};
    QTest::newRow("a replaced log: alarms that no longer hold are cleared, no others replayed")
        << None << 25.0 << 0.5 << 1 << None << None << QByteArray("live r0=26 r8=27 restart h16=24 h24=26 h32=24 at40 live")
        << QByteArrayList{"high raised 1 26 @0", "high cleared 1 24 @40"};
}

void AlarmEngineTest::sequences()
{
    QFETCH(double, low);
    QFETCH(double, high);
    QFETCH(double, hysteresis);
    QFETCH(int, delay);
    QFETCH(double, silentAfter);
    QFETCH(double, staleAfter);
    QFETCH(QByteArray, steps);
    QFETCH(QByteArrayList, events);

    BridgeSettings settings;
    settings.staleAfterMinutes = given(staleAfter);
    SensorSettings sensor;
    sensor.number = 1;
    sensor.low = given(low);
    sensor.high = given(high);
    sensor.hysteresis = hysteresis;
    sensor.delay = delay;
    sensor.silentAfterMinutes = given(silentAfter);
    settings.sensors.push_back(sensor);

    AlarmEngine::Moment now{0, 0};
    AlarmEngine engine(settings, now);
    std::vector<AlarmEvent> seen;
    for (const QString &step : QString::fromLatin1(steps).split(u' ', Qt::SkipEmptyParts)) {
        if (step == QLatin1String("live")) {
            engine.goLive(now, seen);
        } else if (step == QLatin1String("restart")) {
            engine.beginHistory();
        } else if (step.startsWith(QLatin1String("at"))) {
            const QStringList times = step.mid(2).split(u'/');
            now = {times[0].toLongLong(), times.value(1, times[0]).toDouble()};
            engine.tick(now, seen);
        } else {
            const QStringList parts = step.mid(1).split(u'=');
            QCOMPARE(parts.size(), 2);
            const qint64 stamp = parts[0].toLongLong();
            const float value = parts[1].toFloat();
            if (step.startsWith(u'r'))
                now = {stamp, double(stamp)};
            engine.record(stamp, std::span<const float>(&value, 1), now, seen);
        }
    }
    QByteArrayList described;
    for (const AlarmEvent &e : seen)
        described << describe(e).toLatin1();
    QCOMPARE(described, events);
}

QTEST_GUILESS_MAIN(AlarmEngineTest)
#include "alarmengine_test.moc"
