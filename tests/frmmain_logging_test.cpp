// Start/Stop Logging, the record step and Stop Program in the real main
// window, reading from the gateway simulator.

#include "fakeservices.h"
#include "logfiles.h"
#include "readhook.h"
#include "frmmain.h"
#include "gatewaysimulator.h"
#include "statusbar.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>

using namespace kestrin;
using namespace kestrin::testing;

namespace {

} // namespace

class FrmMainLoggingTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void recordsAppendAfterExistingContent_data();
    void recordsAppendAfterExistingContent();
    void cancelKeepsLoggingOff();
    void counterKeepsCountingAcrossFiles();
    void unopenableFileIsReportedNotFatal_data();
    void unopenableFileIsReportedNotFatal();
    void failedWriteLeavesWholeLinesAndRecovers();
    void stopLoggingClearsAWriteFailure();
    void recordIncludesReadingsFromBeforeLoggingStarted();
    void stopProgram_data();
    void stopProgram();
    void servedReadingsAreLoggedExactly();

private:
    std::unique_ptr<frmMain> makeWindow();
    QPushButton *button(frmMain &w, const char *name)
    {
        return w.findChild<QPushButton *>(QString::fromLatin1(name));
    }
    QString text(frmMain &w, const char *name) { return w.findChild<QLineEdit *>(QString::fromLatin1(name))->text(); }

    std::unique_ptr<sim::GatewaySimulator> m_sim;
    std::unique_ptr<FakeServices> m_fakes;
    QTemporaryDir m_dir;
};

void FrmMainLoggingTest::initTestCase()
{
    std::signal(SIGXFSZ, SIG_IGN);
    QVERIFY(m_dir.isValid());
}

void FrmMainLoggingTest::init()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    sim::SimulatorOptions options;
    options.conversionMs = 0;
    m_sim = std::make_unique<sim::GatewaySimulator>(options);
    QVERIFY(m_sim->start());
    m_fakes = std::make_unique<FakeServices>();
}

void FrmMainLoggingTest::cleanup()
{
    m_sim.reset();
}

std::unique_ptr<frmMain> FrmMainLoggingTest::makeWindow()
{
    auto window = std::make_unique<frmMain>(m_fakes->services(QStringLiteral("127.0.0.1:%1").arg(m_sim->port())));
    window->cycle().prepare();
    return window;
}

void FrmMainLoggingTest::recordsAppendAfterExistingContent_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QByteArray>("stamp");
    QTest::addColumn<QByteArray>("earlier");
    QTest::newRow("us, new file") << QStringLiteral("en_US") << QByteArray("12/7/2026 10:45:41 AM") << QByteArray();
    QTest::newRow("de, existing file") << QStringLiteral("de_DE") << QByteArray("07.12.2026 10:45:41")
                                       << QByteArray("an earlier run's line\r\n");
}

void FrmMainLoggingTest::recordsAppendAfterExistingContent()
{
    QFETCH(QString, locale);
    QFETCH(QByteArray, stamp);
    QFETCH(QByteArray, earlier);
    QLocale::setDefault(QLocale(locale));

    const QString path = m_dir.filePath(QStringLiteral("append-%1.txt").arg(locale));
    if (!earlier.isEmpty()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(earlier);
    }
    auto window = makeWindow();
    m_fakes->dialog.answers = {path};
    button(*window, "btnFileWrite")->click();
    QCOMPARE(window->loggingFlag(), qint16(-1));
    QCOMPARE(button(*window, "btnFileWrite")->text(), QStringLiteral("Stop Logging"));
    QCOMPARE(text(*window, "txtFileName"), path);
    QCOMPARE(m_fakes->dialog.opens.constLast().filters, QStringList{QStringLiteral("all Files (*)")});

    QVERIFY(window->cycle().runPass(11));
    QVERIFY(window->cycle().runPass(11));
    QCOMPARE(text(*window, "txtRecNum"), QStringLiteral("2"));

    const QByteArray all = contents(path);
    QVERIFY(all.startsWith(earlier));
    const QList<QByteArray> lines = records(path);
    QCOMPARE(lines.size(), earlier.isEmpty() ? 2 : 3);
    for (qsizetype i = earlier.isEmpty() ? 0 : 1; i < lines.size(); ++i)
        QVERIFY2(wholeRecord(lines.at(i), stamp), lines.at(i).constData());
    // The readings are the ones the window showed last: the final field is sensor 11.
    const QByteArray last = lines.constLast().split(',').constLast().trimmed();
    Q_UNUSED(last);
    QTRY_VERIFY(lines.constLast().endsWith(QByteArray(" " + text(*window, "txtTemperature").toLatin1() + " \r")));
}

void FrmMainLoggingTest::cancelKeepsLoggingOff()
{
    const QString path = m_dir.filePath(QStringLiteral("cancel.txt"));
    auto window = makeWindow();

    // The first Start Logging, cancelled: nothing changes, no record.
    m_fakes->dialog.answers = {std::nullopt};
    button(*window, "btnFileWrite")->click();
    QCOMPARE(window->loggingFlag(), qint16(0));
    QCOMPARE(button(*window, "btnFileWrite")->text(), QStringLiteral("Start Logging"));
    QVERIFY(window->cycle().runPass(11));
    QCOMPARE(text(*window, "txtRecNum"), QString());

    // A pick, Stop Logging, then a cancelled Start: the earlier file is offered
    // again but not opened.
    m_fakes->dialog.answers = {path};
    button(*window, "btnFileWrite")->click();
    QVERIFY(window->cycle().runPass(11));
    button(*window, "btnFileWrite")->click();
    QCOMPARE(window->loggingFlag(), qint16(0));
    m_fakes->dialog.answers = {std::nullopt};
    button(*window, "btnFileWrite")->click();
    QCOMPARE(m_fakes->dialog.opens.constLast().fileName, path);
    QCOMPARE(window->loggingFlag(), qint16(0));
    QCOMPARE(button(*window, "btnFileWrite")->text(), QStringLiteral("Start Logging"));
    QVERIFY(window->cycle().runPass(11));
    QCOMPARE(records(path).size(), 1);
    QCOMPARE(text(*window, "txtFileName"), path); // not cleared when logging stops
}

void FrmMainLoggingTest::counterKeepsCountingAcrossFiles()
{
    const QString first = m_dir.filePath(QStringLiteral("first.txt"));
    const QString second = m_dir.filePath(QStringLiteral("second.txt"));
    auto window = makeWindow();
    m_fakes->dialog.answers = {first, second};
    button(*window, "btnFileWrite")->click();
    QVERIFY(window->cycle().runPass(11));
    QVERIFY(window->cycle().runPass(11));
    button(*window, "btnFileWrite")->click(); // Stop Logging
    QVERIFY(window->cycle().runPass(11));     // no record while off
    button(*window, "btnFileWrite")->click();
    QVERIFY(window->cycle().runPass(11));
    QCOMPARE(records(first).size(), 2);
    QCOMPARE(records(second).size(), 1);
    QCOMPARE(text(*window, "txtRecNum"), QStringLiteral("3"));
    QCOMPARE(window->recordCounter(), qint64(4));
}

void FrmMainLoggingTest::unopenableFileIsReportedNotFatal_data()
{
    QTest::addColumn<QString>("relative");
    QTest::newRow("missing folder") << QStringLiteral("missing/log.txt");
    QTest::newRow("a folder") << QString();
}

void FrmMainLoggingTest::unopenableFileIsReportedNotFatal()
{
    QFETCH(QString, relative);
    const QString path = relative.isEmpty() ? m_dir.path() : m_dir.filePath(relative);
    auto window = makeWindow();
    m_fakes->dialog.answers = {path};
    button(*window, "btnFileWrite")->click();
    QCOMPARE(m_fakes->messageBox.shown.size(), 1);
    QVERIFY2(m_fakes->messageBox.shown.constFirst().prompt.contains(QDir::toNativeSeparators(path)),
             qPrintable(m_fakes->messageBox.shown.constFirst().prompt));
    QCOMPARE(m_fakes->messageBox.shown.constFirst().caption, QString()); // the application title
    QCOMPARE(window->loggingFlag(), qint16(0));
    QCOMPARE(button(*window, "btnFileWrite")->text(), QStringLiteral("Start Logging"));
    QVERIFY(window->cycle().runPass(11)); // still polling
    QCOMPARE(m_fakes->ends, 0);
}

void FrmMainLoggingTest::failedWriteLeavesWholeLinesAndRecovers()
{
    const QString path = m_dir.filePath(QStringLiteral("full.txt"));
    auto window = makeWindow();
    auto *status = window->findChild<StatusBar *>(QStringLiteral("sbStatusBar"));
    m_fakes->dialog.answers = {path};
    button(*window, "btnFileWrite")->click();
    QVERIFY(window->cycle().runPass(11));
    const qint64 size = QFileInfo(path).size();

    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit full = saved;
    full.rlim_cur = rlim_t(size + 40); // room for part of a record only
    ::setrlimit(RLIMIT_FSIZE, &full);
    // A silent sensor too: the failing write outranks it, it loses data.
    m_sim->setFault(sim::Fault::Http500, SensorTable::romIds()[2]);
    QVERIFY(window->cycle().runPass(11));
    QVERIFY(window->cycle().runPass(11));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    m_sim->clearFaults();

    QCOMPARE(QFileInfo(path).size(), size);
    QCOMPARE(text(*window, "txtRecNum"), QStringLiteral("1"));
    QVERIFY2(status->panelText(1).startsWith(QStringLiteral("Records are not being written")),
             qPrintable(status->panelText(1)));
    // The system's reason, also when the record was cut short.
    QVERIFY2(status->panelText(1).endsWith(QString::fromLocal8Bit(std::strerror(EFBIG)) + u'.'), qPrintable(status->panelText(1)));

    QVERIFY(window->cycle().runPass(11));
    QCOMPARE(text(*window, "txtRecNum"), QStringLiteral("2"));
    QCOMPARE(status->panelText(1), QStringLiteral("Status"));
    const QList<QByteArray> lines = records(path);
    QCOMPARE(lines.size(), 2);
    for (const QByteArray &line : lines)
        QVERIFY(wholeRecord(line, "12/7/2026 10:45:41 AM"));
}

// Once logging is off, nothing is failing: the last write's failure goes.
void FrmMainLoggingTest::stopLoggingClearsAWriteFailure()
{
    auto window = makeWindow();
    auto *status = window->findChild<StatusBar *>(QStringLiteral("sbStatusBar"));
    m_fakes->dialog.answers = {QStringLiteral("/dev/full")};
    button(*window, "btnFileWrite")->click();
    QVERIFY(window->cycle().runPass(11));
    QVERIFY2(status->panelText(1).endsWith(QString::fromLocal8Bit(std::strerror(ENOSPC)) + u'.'),
             qPrintable(status->panelText(1)));
    button(*window, "btnFileWrite")->click();
    QCOMPARE(status->panelText(1), QStringLiteral("Status"));
}

void FrmMainLoggingTest::recordIncludesReadingsFromBeforeLoggingStarted()
{
    const QString path = m_dir.filePath(QStringLiteral("midpass.txt"));
    m_sim->setFault(sim::Fault::PowerOn85, SensorTable::romIds()[1]);
    auto window = makeWindow();
    m_fakes->dialog.answers = {path};
    // Switch logging on while sensor 6 is being read.
    onReadStarting(*window, [&](int slot) {
        if (slot == 5)
            QTimer::singleShot(0, window.get(), [&] { button(*window, "btnFileWrite")->click(); });
    });
    QVERIFY(window->cycle().runPass(11));
    const QList<QByteArray> lines = records(path);
    QCOMPARE(lines.size(), 1);
    QVERIFY(wholeRecord(lines.constFirst(), "12/7/2026 10:45:41 AM"));
    // Sensor 2's 85 was read long before logging began and is in the record.
    QCOMPARE(lines.constFirst().split(',').at(2).trimmed(), QByteArray("85"));
}

void FrmMainLoggingTest::stopProgram_data()
{
    QTest::addColumn<bool>("logging");
    QTest::newRow("logging on") << true;
    QTest::newRow("logging off") << false;
}

void FrmMainLoggingTest::stopProgram()
{
    QFETCH(bool, logging);
    const QString path = m_dir.filePath(QStringLiteral("stop-%1.txt").arg(logging));
    auto window = makeWindow();
    if (logging) {
        m_fakes->dialog.answers = {path};
        button(*window, "btnFileWrite")->click();
        QVERIFY(window->cycle().runPass(11));
    }
    button(*window, "btnStop")->click();
    QCOMPARE(m_fakes->ends, 1);
    QVERIFY(window->isUnloaded());
    QCOMPARE(m_fakes->settings.writes.size(), 4);
    // Nothing more reaches the file once the program has ended.
    QVERIFY(!window->cycle().runPass(11));
    QCOMPARE(records(path).size(), logging ? 1 : 0);
    QCOMPARE(QFileInfo::exists(path), logging);
}

// Runs under the locale of the process environment (CTest runs this test
// once per locale), which the application also hands to the C library: the
// readings must not depend on it.
void FrmMainLoggingTest::servedReadingsAreLoggedExactly()
{
    struct Expected
    {
        const char *locale;
        QByteArray stamp;
        char separator;
        QString shown; // -10.125 in the window
    };
    const QList<Expected> table = {
        {"C.UTF-8", "7 Dec 2026 10:45:41", '.', QStringLiteral("-10.125")},
        {"en_US.UTF-8", "12/7/2026 10:45:41 AM", '.', QStringLiteral("-10.125")},
        {"en_GB.UTF-8", "07/12/2026 10:45:41", '.', QStringLiteral("-10.125")},
        {"de_DE.UTF-8", "07.12.2026 10:45:41", ',', QStringLiteral("-10,125")},
        {"fr_FR.UTF-8", "07/12/2026 10:45:41", ',', QStringLiteral("-10,125")},
        {"ja_JP.UTF-8", "2026/12/07 10\xe6\x99\x82" "45\xe5\x88\x86" "41\xe7\xa7\x92", '.', QStringLiteral("-10.125")},
        {"ar_EG.UTF-8", "7/12/2026 10:45:41 \xd8\xb5", '.',
         QStringLiteral("\u061C-\u0661\u0660\u066B\u0661\u0662\u0665")},
    };
    const QByteArray environment = qgetenv("LC_ALL");
    const auto expected = std::find_if(table.begin(), table.end(),
                                       [&](const Expected &e) { return environment == e.locale; });
    if (expected == table.end())
        QSKIP("no expectations for this process's locale");
    QLocale::setDefault(QLocale::system());

    // What the gateway serves, sensor by sensor, and its print form.
    const QList<std::pair<std::string, QByteArray>> served = {
        {"21.5", " 21.5"},   {"-0.25", "-.25"}, {"0.5", " .5"},         {"19", " 19"},
        {"-0.0625", "-.0625"}, {"125", " 125"}, {"-55", "-55"},        {"0.0625", " .0625"},
        {"22.0625", " 22.0625"}, {"-0.5", "-.5"}, {"-10.125", "-10.125"},
    };
    sim::SimulatorOptions options;
    options.conversionMs = 0;
    for (int i = 0; i < served.size(); ++i)
        options.fixedReadings[SensorTable::romIds()[std::size_t(i)]] = served[i].first;
    m_sim = std::make_unique<sim::GatewaySimulator>(options);
    QVERIFY(m_sim->start());

    const QString path = m_dir.filePath(QStringLiteral("served.txt"));
    auto window = makeWindow();
    m_fakes->dialog.answers = {path};
    button(*window, "btnFileWrite")->click();
    QVERIFY(window->cycle().runPass(11));
    QTRY_COMPARE(text(*window, "txtTemperature"), expected->shown);

    const QList<QByteArray> lines = records(path);
    QCOMPARE(lines.size(), 1);
    const QByteArray line = lines.constFirst();
    QVERIFY2(wholeRecord(line, expected->stamp), line.constData());
    // Split at " , " only: a comma inside a reading is followed by a digit.
    QByteArray body = line.chopped(1).mid(expected->stamp.size() + 2);
    const QList<QByteArray> readings = body.replace(" , ", "\x1f").split('\x1f');
    QCOMPARE(readings.size(), served.size());
    for (int i = 0; i < served.size(); ++i) {
        QByteArray want = served[i].second;
        want.replace('.', expected->separator);
        QByteArray got = readings[i];
        while (got.endsWith(' '))
            got.chop(1);
        QCOMPARE(got, want);
    }
}

QTEST_MAIN(FrmMainLoggingTest)
#include "frmmain_logging_test.moc"
