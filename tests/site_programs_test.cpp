// The programs that read a site file, on every bad file of the reader's
// table: the build's table generator (whose failure stops the configure
// step) and the simulator. Each must say exactly the reader's message, with
// the path as it was typed, end with its error status, and leave nothing
// behind; the good example starts both.

#include "badsites.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace kestrin::testing;

namespace {

struct Run
{
    int status = -1;
    QByteArray err;
};

Run run(const QString &program, const QStringList &args, const QString &folder)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(program, args);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardError()};
}

} // namespace

class SiteProgramsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void badFile_data();
    void badFile();
    void goodFile();

private:
    std::unique_ptr<QTemporaryDir> m_folder;
};

void SiteProgramsTest::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
}

void SiteProgramsTest::badFile_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("message");
    for (const BadSite &bad : badSites())
        QTest::newRow(bad.name) << bad.text << bad.message;
}

void SiteProgramsTest::badFile()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, message);
    const QString folder = m_folder->path();
    QFile file(folder + QStringLiteral("/site.ini"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.close();

    const Run gen = run(QStringLiteral(KESTRIN_SITE_GEN), {QStringLiteral("site.ini"), QStringLiteral("out")}, folder);
    QCOMPARE(gen.err, message + '\n');
    QCOMPARE(gen.status, 1);
    QVERIFY(!QDir(folder + QStringLiteral("/out")).exists());

    const Run sim = run(QStringLiteral(KESTRIN_SIM), {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--site"),
                                                      QStringLiteral("site.ini")}, folder);
    QCOMPARE(sim.err, "onewire-gateway-sim: " + message + '\n');
    QCOMPARE(sim.status, 2);
}

void SiteProgramsTest::goodFile()
{
    const QString folder = m_folder->path();
    const QString example = QStringLiteral(KESTRIN_SOURCE_DIR "/data/site.example.ini");
    const Run gen = run(QStringLiteral(KESTRIN_SITE_GEN), {example, QStringLiteral("out")}, folder);
    QCOMPARE(gen.err, QByteArray());
    QCOMPARE(gen.status, 0);
    for (const char *written : {"out/builtsite.cpp", "out/site.cmake"})
        QVERIFY2(QFile::exists(folder + u'/' + QLatin1StringView(written)), written);

    QProcess sim;
    sim.start(QStringLiteral(KESTRIN_SIM), {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--site"), example});
    sim.setReadChannel(QProcess::StandardOutput);
    QVERIFY(sim.waitForReadyRead(10000));
    QVERIFY2(sim.readAllStandardOutput().contains("listening on"), "no listening line");
    sim.terminate();
    QVERIFY(sim.waitForFinished(10000));
    QCOMPARE(sim.exitCode(), 0);
}

QTEST_GUILESS_MAIN(SiteProgramsTest)
#include "site_programs_test.moc"
