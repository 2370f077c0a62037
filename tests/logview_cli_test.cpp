// The real kestrin-logview on the command line: a failed write is never a
// success, whatever fails (the first write, only the last flush, standard
// output), and a failed export leaves the file that was there.
#include "logrecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray log(int records)
{
    QByteArray out;
    const std::vector<float> readings{21.5f, -0.25f, 19.0f};
    for (int i = 0; i < records; ++i)
        out += kestrin::LogRecord::bytes(QDateTime(QDate(2026, 12, 8), QTime(10, 0).addSecs(8 * i)), readings,
                                         QLocale::system());
    return out;
}

struct Run
{
    int status = -1;
    QByteArray out, err;
};

Run run(const QStringList &args, const QString &stdoutFile = {}, const QProcessEnvironment &env = {})
{
    QProcess p;
    if (!env.isEmpty())
        p.setProcessEnvironment(env);
    p.setProgram(QStringLiteral(KESTRIN_LOGVIEW));
    p.setArguments(args);
    if (!stdoutFile.isEmpty())
        p.setStandardOutputFile(stdoutFile);
    p.start();
    if (!p.waitForFinished(60000))
        return {};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

} // namespace

class LogviewCliTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void failedWritesFail_data();
    void failedWritesFail();
    void failedExportKeepsTheOldFile();
    void siteNames_data();
    void siteNames();
};

void LogviewCliTest::failedWritesFail_data()
{
    QTest::addColumn<QStringList>("args"); // LOG stands for the log
    QTest::addColumn<int>("records");
    QTest::addColumn<QString>("stdoutFile");
    QTest::addColumn<QString>("message");
    const QString full = QStringLiteral("/dev/full");
    const QString reason = QStringLiteral("No space left on device");
    // Three records fit any buffer: the failure shows only at the end.
    QTest::newRow("small --csv -o /dev/full") << QStringList{u"--csv"_qs, u"LOG"_qs, u"-o"_qs, full} << 3 << QString() << reason;
    QTest::newRow("small --csv to a full stdout") << QStringList{u"--csv"_qs, u"LOG"_qs} << 3 << full << reason;
    QTest::newRow("small --csv -o - to a full stdout") << QStringList{u"--csv"_qs, u"LOG"_qs, u"-o"_qs, u"-"_qs} << 3 << full << reason;
    QTest::newRow("large --csv -o /dev/full") << QStringList{u"--csv"_qs, u"LOG"_qs, u"-o"_qs, full} << 20000 << QString() << reason;
    QTest::newRow("--png /dev/full") << QStringList{u"--png"_qs, full, u"LOG"_qs} << 3 << QString() << reason;
    QTest::newRow("--csv into a missing folder") << QStringList{u"--csv"_qs, u"LOG"_qs, u"-o"_qs, u"/nonexistent/x.csv"_qs} << 3
                                                 << QString() << QStringLiteral("/nonexistent/x.csv");
}

void LogviewCliTest::failedWritesFail()
{
    QFETCH(QStringList, args);
    QFETCH(int, records);
    QFETCH(QString, stdoutFile);
    QFETCH(QString, message);
    if (!QFileInfo(QStringLiteral("/dev/full")).exists())
        QSKIP("no /dev/full here");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("records.txt"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(log(records));
    f.close();
    args.replaceInStrings(QStringLiteral("LOG"), path);
    const Run r = run(args, stdoutFile);
    QCOMPARE(r.status, 2);
    QVERIFY2(r.err.contains(message.toUtf8()), r.err.constData());
    // The device is still the device.
    QVERIFY(!QFileInfo(QStringLiteral("/dev/full")).isFile());
}

void LogviewCliTest::failedExportKeepsTheOldFile()
{
    QTemporaryDir dir;
    const QString good = dir.filePath(QStringLiteral("good.txt")), bad = dir.filePath(QStringLiteral("bad.txt"));
    const QString csv = dir.filePath(QStringLiteral("out.csv"));
    QFile g(good), b(bad);
    QVERIFY(g.open(QIODevice::WriteOnly) && b.open(QIODevice::WriteOnly));
    g.write(log(5));
    b.write("no records here\r\n");
    g.close();
    b.close();
    QCOMPARE(run({QStringLiteral("--csv"), good, QStringLiteral("-o"), csv}).status, 0);
    QFile out(csv);
    QVERIFY(out.open(QIODevice::ReadOnly));
    const QByteArray before = out.readAll();
    out.close();
    QCOMPARE(before.count('\n'), 6);
    const Run r = run({QStringLiteral("--csv"), bad, QStringLiteral("-o"), csv});
    QCOMPARE(r.status, 2);
    QVERIFY(out.open(QIODevice::ReadOnly));
    QCOMPARE(out.readAll(), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 3);
}

void LogviewCliTest::siteNames_data()
{
    QTest::addColumn<QByteArray>("site");  // written to site.ini; empty: none
    QTest::addColumn<bool>("viaXdg");      // found in $XDG_CONFIG_HOME, not named by --site
    QTest::addColumn<bool>("names");       // --names
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QByteArray>("err");   // a part of standard error; empty: none at all
    const QByteArray three = "[gateway]\nhost = 192.0.2.17\n[sensor.1]\nrom = 9C000000B4A89828\nname = Freezer 2\n"
                             "[sensor.2]\nrom = 06000000A4EC7428\nname = Cold room, \"north\"\n"
                             "[sensor.3]\nrom = B900000027CA8F28\n";
    QTest::newRow("no site file") << QByteArray() << false << true << 0 << QByteArray("time,sensor1,sensor2,sensor3") << QByteArray();
    QTest::newRow("names quoted, none where none is given")
        << three << false << true << 0 << QByteArray("time,\"Freezer 2\",\"Cold room, \"\"north\"\"\",sensor3") << QByteArray();
    QTest::newRow("found by the XDG rules") << three << true << true << 0
                                            << QByteArray("time,\"Freezer 2\",\"Cold room, \"\"north\"\"\",sensor3") << QByteArray();
    QTest::newRow("without --names the plain header") << three << false << false << 0
                                                      << QByteArray("time,sensor1,sensor2,sensor3") << QByteArray();
    QTest::newRow("a site of two sensors: shown, and said")
        << QByteArray("[gateway]\nhost = 192.0.2.17\n[sensor.1]\nrom = 9C000000B4A89828\nname = Freezer 2\n"
                      "[sensor.2]\nrom = 06000000A4EC7428\n")
        << false << true << 0 << QByteArray("time,\"Freezer 2\",sensor2,sensor3")
        << QByteArray("the site file names 2 sensors, but the records of");
    QTest::newRow("a bad site file stops it")
        << QByteArray("[gateway]\nhost = 192.0.2.17\n[sensor.1]\nrom = 9C000000B4A89828\nnmae = Freezer 2\n") << false
        << true << 2 << QByteArray() << QByteArray("site.ini:5: ");
}

void LogviewCliTest::siteNames()
{
    QFETCH(QByteArray, site);
    QFETCH(bool, viaXdg);
    QFETCH(bool, names);
    QFETCH(int, status);
    QFETCH(QByteArray, header);
    QFETCH(QByteArray, err);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("records.txt"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(log(4));
    f.close();
    // Nothing of this machine's own configuration may count.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_CONFIG_DIRS"), dir.filePath(QStringLiteral("etc")));
    QStringList args{QStringLiteral("--csv"), path};
    if (names)
        args << QStringLiteral("--names");
    if (!site.isEmpty()) {
        const QString folder = viaXdg ? dir.filePath(QStringLiteral("config/Kestrin-3")) : dir.path();
        QVERIFY(QDir().mkpath(folder));
        QFile s(folder + QStringLiteral("/site.ini"));
        QVERIFY(s.open(QIODevice::WriteOnly));
        s.write(site);
        s.close();
        if (!viaXdg)
            args << QStringLiteral("--site") << s.fileName();
    }
    const Run r = run(args, {}, env);
    QCOMPARE(r.status, status);
    if (!header.isEmpty())
        QCOMPARE(r.out.left(r.out.indexOf('\r')), header);
    if (err.isEmpty())
        QCOMPARE(r.err, QByteArray());
    else
        QVERIFY2(r.err.contains(err), r.err.constData());
}

QTEST_GUILESS_MAIN(LogviewCliTest)
#include "logview_cli_test.moc"
