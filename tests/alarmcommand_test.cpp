#include "alarmcommand.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace kestrin;

namespace {

struct Lines final : MessageLog
{
    QStringList lines;
    void write(const QString &line) override { lines << line; }
};

QString script(const QTemporaryDir &dir, const QString &name, const QByteArray &body)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    f.write("#!/bin/sh\n" + body);
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

} // namespace

class AlarmCommandTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void reports_data();
    void reports();
    void tooManyAtOnce();
};

void AlarmCommandTest::reports_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("report"); // NAME is the program
    QTest::addColumn<int>("withinMs");
    QTest::newRow("succeeds: nothing said") << QByteArray("exit 0\n") << QString() << 2000;
    QTest::newRow("fails") << QByteArray("exit 4\n") << QStringLiteral("on_alarm: NAME exited with status 4") << 2000;
    QTest::newRow("hangs: killed after the timeout")
        << QByteArray("exec sleep 30\n") << QStringLiteral("on_alarm: NAME still runs after 0.3 s, killed") << 2000;
    QTest::newRow("cannot be started")
        << QByteArray() << QStringLiteral("on_alarm: cannot start NAME: execve: No such file or directory") << 2000;
}

void AlarmCommandTest::reports()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, report);
    QFETCH(int, withinMs);
    QTemporaryDir dir;
    const QString program = body.isEmpty() ? dir.filePath(QStringLiteral("missing")) : script(dir, QStringLiteral("page"), body);
    Lines log;
    AlarmCommand command(log, 300);
    // The event loop goes on while the command runs.
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
    ticker.start(20);
    QElapsedTimer timer;
    timer.start();
    command.launch(program, {{QStringLiteral("KESTRIN_KIND"), QStringLiteral("high")}});
    QVERIFY(timer.elapsed() < 100);
    QTRY_COMPARE_WITH_TIMEOUT(command.running(), 0, withinMs);
    QCOMPARE(log.lines, report.isEmpty() ? QStringList() : QStringList{QString(report).replace(QStringLiteral("NAME"), program)});
    if (report.endsWith(QLatin1String("killed")))
        QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
}

void AlarmCommandTest::tooManyAtOnce()
{
    QTemporaryDir dir;
    const QString program = script(dir, QStringLiteral("slow"), "exec sleep 30\n");
    Lines log;
    AlarmCommand command(log, 500, 2);
    for (int i = 0; i < 3; ++i)
        command.launch(program, {{QStringLiteral("KESTRIN_KIND"), QStringLiteral("silent")},
                                 {QStringLiteral("KESTRIN_STATE"), QStringLiteral("raised")}});
    QCOMPARE(command.running(), 2);
    QCOMPARE(log.lines, QStringList{QStringLiteral("on_alarm: 2 commands still running, %1 not started for silent raised").arg(program)});
    QTRY_COMPARE_WITH_TIMEOUT(command.running(), 0, 3000);
}

QTEST_GUILESS_MAIN(AlarmCommandTest)
#include "alarmcommand_test.moc"
