#include "alarmannouncer.h"
#include "bridgeservices.h"

#include <QTest>

using namespace kestrin;

namespace {

struct Recorder final : MessageLog, DesktopNotifier, CommandLauncher
{
    QStringList lines;
    QStringList notifications;
    QList<QMap<QString, QString>> launched;
    QStringList commands;

    void write(const QString &line) override { lines << line; }
    void notify(const QString &summary, const QString &body, bool urgent) override
    {
        notifications << summary + u'|' + body + (urgent ? QStringLiteral("|urgent") : QString());
    }
    void launch(const QString &command, const QMap<QString, QString> &environment) override
    {
        commands << command;
        launched << environment;
    }
};

BridgeSettings site(const QString &onAlarm)
{
    BridgeSettings settings;
    settings.site = QStringLiteral("lab-a");
    settings.onAlarm = onAlarm;
    settings.staleAfterMinutes = 0.5;
    SensorSettings freezer;
    freezer.number = 1;
    freezer.name = QStringLiteral("Freezer $(rm -rf ~)");
    freezer.low = -30;
    freezer.high = -15;
    freezer.silentAfterMinutes = 60;
    SensorSettings unnamed;
    unnamed.number = 2;
    unnamed.high = 30.5;
    settings.sensors = {freezer, unnamed};
    return settings;
}

} // namespace

class AlarmAnnouncerTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void announces_data();
    void announces();
    void noCommandWithoutOnAlarm();
};

void AlarmAnnouncerTest::announces_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("raised");
    QTest::addColumn<int>("sensor");
    QTest::addColumn<double>("value"); // NaN: none
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("environment"); // SENSOR|NAME|VALUE|KIND|STATE
    const QString name = QStringLiteral("Freezer $(rm -rf ~)");
    QTest::newRow("high raised") << int(AlarmKind::High) << true << 1 << -12.5
                                 << QStringLiteral("high alarm raised: sensor 1 \"%1\" reads -12.5 °C, above -15 °C").arg(name)
                                 << QStringLiteral("1|%1|-12.5|high|raised").arg(name);
    QTest::newRow("low cleared") << int(AlarmKind::Low) << false << 1 << -29.0625
                                 << QStringLiteral("low alarm cleared: sensor 1 \"%1\" reads -29.0625 °C").arg(name)
                                 << QStringLiteral("1|%1|-29.0625|low|cleared").arg(name);
    QTest::newRow("silent raised") << int(AlarmKind::Silent) << true << 1 << 0.0
                                   << QStringLiteral("silent alarm raised: sensor 1 \"%1\" has read 0 °C for 60 minutes").arg(name)
                                   << QStringLiteral("1|%1|0|silent|raised").arg(name);
    QTest::newRow("an unnamed sensor") << int(AlarmKind::High) << true << 2 << 31.0
                                       << QStringLiteral("high alarm raised: sensor 2 reads 31 °C, above 30.5 °C")
                                       << QStringLiteral("2||31|high|raised");
    QTest::newRow("stale raised") << int(AlarmKind::Stale) << true << 0 << qQNaN()
                                  << QStringLiteral("stale alarm raised: no new record for 0.5 minutes")
                                  << QStringLiteral("|||stale|raised");
    QTest::newRow("stale cleared") << int(AlarmKind::Stale) << false << 0 << qQNaN()
                                   << QStringLiteral("stale alarm cleared: records arrive again")
                                   << QStringLiteral("|||stale|cleared");
}

void AlarmAnnouncerTest::announces()
{
    QFETCH(int, kind);
    QFETCH(bool, raised);
    QFETCH(int, sensor);
    QFETCH(double, value);
    QFETCH(QString, line);
    QFETCH(QString, environment);
    Recorder recorder;
    AlarmAnnouncer announcer(site(QStringLiteral("/usr/local/bin/page-the-lab")), recorder, recorder, recorder);
    AlarmEvent event{AlarmKind(kind), raised, sensor, std::nullopt, 1765450000};
    if (!qIsNaN(value))
        event.value = float(value);
    announcer.announce(event);

    QCOMPARE(recorder.lines, QStringList{line});
    QCOMPARE(recorder.notifications.size(), 1);
    // The summary names the site; the body says what happened; a raised
    // alarm asks to stay on screen.
    const QStringList notification = recorder.notifications.first().split(u'|');
    QCOMPARE(notification.value(0), QStringLiteral("Kestrin-3 lab-a: %1 alarm %2")
                                         .arg(alarmKindName(AlarmKind(kind)), raised ? QStringLiteral("raised") : QStringLiteral("cleared")));
    QVERIFY(line.endsWith(notification.value(1)));
    QCOMPARE(notification.size() == 3, raised);
    // The command line is the site file's, never with a fact in it.
    QCOMPARE(recorder.commands, QStringList{QStringLiteral("/usr/local/bin/page-the-lab")});
    const QMap<QString, QString> env = recorder.launched.first();
    QCOMPARE(env.value(QStringLiteral("KESTRIN_SITE")), QStringLiteral("lab-a"));
    const QStringList keys{QStringLiteral("KESTRIN_SENSOR"), QStringLiteral("KESTRIN_NAME"), QStringLiteral("KESTRIN_VALUE"),
                           QStringLiteral("KESTRIN_KIND"), QStringLiteral("KESTRIN_STATE")};
    QStringList values;
    for (const QString &key : keys) {
        QVERIFY2(env.contains(key), qPrintable(key));
        values << env.value(key);
    }
    QCOMPARE(values.join(u'|'), environment);
    QCOMPARE(env.size(), 6);
}

void AlarmAnnouncerTest::noCommandWithoutOnAlarm()
{
    Recorder recorder;
    AlarmAnnouncer announcer(site(QString()), recorder, recorder, recorder);
    announcer.announce({AlarmKind::High, true, 1, -10.0f, 0});
    QCOMPARE(recorder.lines.size(), 1);
    QVERIFY(recorder.commands.isEmpty());
}

QTEST_GUILESS_MAIN(AlarmAnnouncerTest)
#include "alarmannouncer_test.moc"
