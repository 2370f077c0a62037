// Closing the real main window: the placement it leaves in the settings
// store, and how the program ends with the log file whole and closed.

#include "fakeservices.h"
#include "logfiles.h"
#include "frmabout.h"
#include "frmmain.h"
#include "gatewaysimulator.h"
#include "terminationwatcher.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <csignal>

using namespace kestrin;
using namespace kestrin::testing;

namespace {

const QStringList kKeys = {QStringLiteral("MainLeft"), QStringLiteral("MainTop"), QStringLiteral("MainWidth"),
                           QStringLiteral("MainHeight")};

enum class State { Normal, Minimized, Maximized };

// The expected text of a pixel coordinate: 1440 twips to the inch.
QString twipsText(int pixels, int dpi)
{
    return QString::number(qRound(double(pixels) * 1440.0 / double(dpi)));
}

// A store that logs every write and flush, with what else was true then.
class TracingStore final : public SettingsStore
{
public:
    QStringList *events = nullptr;
    std::function<QString()> state;
    std::optional<QString> failWith;

    std::optional<QString> SaveSetting(const QString &, const QString &, const QString &key,
                                       const QString &) override
    {
        *events << (key + state());
        return failWith;
    }
    std::optional<QString> flush() override
    {
        *events << (QStringLiteral("flush") + state());
        return std::nullopt;
    }
    QString location() const override { return QStringLiteral("tracing store"); }
};

} // namespace

class FrmMainCloseTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void placementByState_data();
    void placementByState();
    void placementAcrossRuns_data();
    void placementAcrossRuns();
    void endingWithLogging_data();
    void endingWithLogging();
    void failingStoreDoesNotStopTheClose_data();
    void failingStoreDoesNotStopTheClose();
    void closeWhileAboutIsOpen();

private:
    MainWindowServices services(SettingsStore &store);
    void place(frmMain &window, State state, QRect geometry);
    QStringList expectedValues(frmMain &window, State state, QRect geometry);
    // Runs the window's endless cycle with logging switched on from the
    // start; `trigger` runs once the file holds a few records.
    void runLogging(frmMain &window, const QString &path, const std::function<void()> &trigger);

    std::unique_ptr<sim::GatewaySimulator> m_sim;
    std::unique_ptr<FakeServices> m_fakes;
    QStringList m_events;
    QTemporaryDir m_dir;
};

void FrmMainCloseTest::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QVERIFY(m_dir.isValid());
}

void FrmMainCloseTest::init()
{
    sim::SimulatorOptions options;
    options.conversionMs = 0;
    m_sim = std::make_unique<sim::GatewaySimulator>(options);
    std::string error;
    QVERIFY2(m_sim->start(&error), error.c_str());
    m_fakes = std::make_unique<FakeServices>();
    m_events.clear();
}

void FrmMainCloseTest::cleanup()
{
    m_sim.reset();
}

MainWindowServices FrmMainCloseTest::services(SettingsStore &store)
{
    const MainWindowServices fake = m_fakes->services(QStringLiteral("127.0.0.1:%1").arg(m_sim->port()));
    return MainWindowServices{
        .messageBox = fake.messageBox,
        .commonDialog = fake.commonDialog,
        .settings = store,
        .helpViewer = fake.helpViewer,
        .registry = fake.registry,
        .system = fake.system,
        .windowFrame = fake.windowFrame,
        .endProcess = fake.endProcess,
        .clock = fake.clock,
        .browserOptions = fake.browserOptions,
        .gatewayHost = fake.gatewayHost,
    };
}

void FrmMainCloseTest::place(frmMain &window, State state, QRect geometry)
{
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.setGeometry(geometry);
    QTRY_COMPARE_WITH_TIMEOUT(window.geometry(), geometry, 2000);
    if (state == State::Maximized) {
        window.showMaximized();
        QTRY_COMPARE_WITH_TIMEOUT(window.frameGeometry(), window.screen()->availableGeometry(), 2000);
    } else if (state == State::Minimized) {
        window.showMinimized();
        QTRY_VERIFY_WITH_TIMEOUT(window.windowState() & Qt::WindowMinimized, 2000);
    }
}

QStringList FrmMainCloseTest::expectedValues(frmMain &window, State state, QRect geometry)
{
    // The outer frame: what the window system puts around the client area.
    const QRect bounds = state == State::Maximized ? window.screen()->availableGeometry()
                                                   : geometry.marginsAdded(window.windowHandle()->frameMargins());
    return {twipsText(bounds.x(), window.logicalDpiX()), twipsText(bounds.y(), window.logicalDpiY()),
            twipsText(bounds.width(), window.logicalDpiX()), twipsText(bounds.height(), window.logicalDpiY())};
}

void FrmMainCloseTest::runLogging(frmMain &window, const QString &path, const std::function<void()> &trigger)
{
    m_fakes->dialog.answers = {path};
    QTimer::singleShot(0, &window, [&window] {
        window.findChild<QPushButton *>(QStringLiteral("btnFileWrite"))->click();
    });
    QTimer watch;
    watch.setInterval(10);
    bool fired = false;
    bool loggingOpen = false;
    connect(&watch, &QTimer::timeout, &window, [&] {
        if (!fired && records(path).size() >= 3) {
            fired = true;
            watch.stop();
            loggingOpen = heldOpen(path);
            trigger();
        }
    });
    watch.start();
    // Should the trigger never come, the window still goes, so the test ends.
    QTimer::singleShot(15000, &window, [&window] { window.close(); });
    window.Show();
    QVERIFY2(fired, "the log never reached three records");
    QVERIFY(loggingOpen); // so that "closed" later means something
}

void FrmMainCloseTest::placementByState_data()
{
    QTest::addColumn<State>("state");
    QTest::addColumn<QRect>("geometry");
    QTest::newRow("normal, client area in the corner") << State::Normal << QRect(0, 0, 1008, 570);
    QTest::newRow("normal, moved and resized") << State::Normal << QRect(100, 60, 640, 420);
    QTest::newRow("normal, partly off the screen") << State::Normal << QRect(-30, -8, 700, 500);
    QTest::newRow("maximized") << State::Maximized << QRect(100, 60, 640, 420);
    QTest::newRow("minimized") << State::Minimized << QRect(100, 60, 640, 420);
}

void FrmMainCloseTest::placementByState()
{
    QFETCH(State, state);
    QFETCH(QRect, geometry);
    frmMain window(services(m_fakes->settings));
    place(window, state, geometry);
    if (QTest::currentTestFailed())
        return;
    const QStringList expected = expectedValues(window, state, geometry);

    window.close();

    QVERIFY(window.isUnloaded());
    QVERIFY(!window.isVisible());
    // Only a close; ending the program is the cycle's business.
    QCOMPARE(m_fakes->ends, 0);
    QCOMPARE(m_fakes->messageBox.shown.size(), 0);
    if (state == State::Minimized) {
        QCOMPARE(m_fakes->settings.writes.size(), 0);
        return;
    }
    QCOMPARE(m_fakes->settings.writes.size(), 4);
    for (int i = 0; i < 4; ++i) {
        const QStringList write = m_fakes->settings.writes.at(i);
        QCOMPARE(write, (QStringList{QStringLiteral("Kestrin-3"), QStringLiteral("Settings"), kKeys.at(i),
                                     expected.at(i)}));
    }
    QCOMPARE(m_fakes->settings.flushes, 1);
}

void FrmMainCloseTest::placementAcrossRuns_data()
{
    QTest::addColumn<QList<State>>("runs");
    QTest::addColumn<int>("lastSaved"); // the run whose values stay, -1 for none

    QTest::newRow("a later close replaces all four") << QList<State>{State::Normal, State::Normal} << 1;
    QTest::newRow("minimized keeps an earlier run's") << QList<State>{State::Normal, State::Minimized} << 0;
    QTest::newRow("maximized replaces a normal run's") << QList<State>{State::Normal, State::Maximized} << 1;
    QTest::newRow("normal replaces a maximized run's") << QList<State>{State::Maximized, State::Normal} << 1;
    QTest::newRow("every close minimized") << QList<State>{State::Minimized, State::Minimized} << -1;
    QTest::newRow("minimized, then normal") << QList<State>{State::Minimized, State::Normal} << 1;
}

void FrmMainCloseTest::placementAcrossRuns()
{
    QFETCH(QList<State>, runs);
    QFETCH(int, lastSaved);
    const QString ini = m_dir.filePath(QStringLiteral("%1.conf").arg(QString::fromLatin1(QTest::currentDataTag())));

    QList<QStringList> saved;
    QSize designSize;
    for (qsizetype run = 0; run < runs.size(); ++run) {
        QtSettingsStore store(ini); // a new program, the same store
        frmMain window(services(store));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // Nothing from an earlier run is put back.
        if (run == 0)
            designSize = window.size();
        QCOMPARE(window.size(), designSize);

        const QRect geometry(40 + 50 * int(run), 20 + 30 * int(run), 600 + 20 * int(run), 400 + 10 * int(run));
        place(window, runs.at(run), geometry);
        if (QTest::currentTestFailed())
            return;
        saved << expectedValues(window, runs.at(run), geometry);
        window.close();
    }
    QCOMPARE(m_fakes->messageBox.shown.size(), 0);

    QSettings read(ini, QSettings::IniFormat);
    if (lastSaved < 0) {
        QCOMPARE(read.allKeys(), QStringList());
        return;
    }
    QCOMPARE(read.childGroups(), QStringList{QStringLiteral("Settings")});
    read.beginGroup(QStringLiteral("Settings"));
    QCOMPARE(read.childKeys().size(), 4);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(read.value(kKeys.at(i)).toString(), saved.at(lastSaved).at(i));
}

void FrmMainCloseTest::endingWithLogging_data()
{
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<QStringList>("events");

    const QStringList closedFirst = {
        QStringLiteral("MainLeft, log closed"),  QStringLiteral("MainTop, log closed"),
        QStringLiteral("MainWidth, log closed"), QStringLiteral("MainHeight, log closed"),
        QStringLiteral("flush, log closed"),     QStringLiteral("end, log closed"),
    };
    const QStringList savedFirst = {
        QStringLiteral("MainLeft, log open"),  QStringLiteral("MainTop, log open"),
        QStringLiteral("MainWidth, log open"), QStringLiteral("MainHeight, log open"),
        QStringLiteral("flush, log open"),     QStringLiteral("end, log closed"),
    };
    // Stop Program closes the file before the unload; every other close
    // leaves it to the cycle, which closes it on its way out.
    QTest::newRow("Stop Program") << QStringLiteral("stop") << closedFirst;
    QTest::newRow("close box") << QStringLiteral("close") << savedFirst;
    QTest::newRow("File > Exit") << QStringLiteral("exit") << savedFirst;
    QTest::newRow("SIGTERM") << QStringLiteral("sigterm") << savedFirst;
}

void FrmMainCloseTest::endingWithLogging()
{
    QFETCH(QString, trigger);
    QFETCH(QStringList, events);
    const QString path = m_dir.filePath(QStringLiteral("ending-%1.txt").arg(trigger));

    TracingStore store;
    store.events = &m_events;
    store.state = [&] { return heldOpen(path) ? QStringLiteral(", log open") : QStringLiteral(", log closed"); };
    MainWindowServices s = services(store);
    s.endProcess = [&] {
        ++m_fakes->ends;
        m_events << (QStringLiteral("end") + store.state());
    };
    frmMain window(std::move(s));

    TerminationWatcher termination;
    QVERIFY(termination.isActive());
    connect(&termination, &TerminationWatcher::terminationRequested, &window, [&window] { window.close(); });

    runLogging(window, path, [&] {
        if (trigger == QLatin1String("stop"))
            window.findChild<QPushButton *>(QStringLiteral("btnStop"))->click();
        else if (trigger == QLatin1String("close"))
            window.close();
        else if (trigger == QLatin1String("exit"))
            window.menuItem(QStringLiteral("mnuFileExit"))->trigger();
        else
            std::raise(SIGTERM); // the handler only wakes the event loop
    });

    QCOMPARE(m_events, events);
    QCOMPARE(m_fakes->ends, 1);
    QVERIFY(window.isUnloaded());
    QVERIFY(!window.isVisible());
    QVERIFY(!heldOpen(path));
    // Every record counted is in the file, whole.
    const QList<QByteArray> lines = records(path);
    QVERIFY(lines.size() >= 3);
    QCOMPARE(lines.size(), window.recordCounter() - 1);
    for (const QByteArray &line : lines)
        QVERIFY2(wholeRecord(line), line.constData());
}

void FrmMainCloseTest::failingStoreDoesNotStopTheClose_data()
{
    QTest::addColumn<bool>("realStore");
    QTest::addColumn<QString>("reason");
    QTest::newRow("a write refused") << false << QStringLiteral("no space left on device");
    QTest::newRow("a file that cannot be created") << true << QStringLiteral("access denied");
}

void FrmMainCloseTest::failingStoreDoesNotStopTheClose()
{
    QFETCH(bool, realStore);
    QFETCH(QString, reason);
    const QString path = m_dir.filePath(QStringLiteral("failing-%1.txt").arg(realStore));

    // A regular file where the store's folder should be: not even root can
    // create the store there.
    const QString blocker = m_dir.filePath(QStringLiteral("not-a-folder-%1").arg(realStore));
    {
        QFile f(blocker);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    QtSettingsStore real(blocker + QStringLiteral("/Kestrin-3.conf"));
    TracingStore tracing;
    tracing.events = &m_events;
    tracing.state = [] { return QString(); };
    tracing.failWith = reason;
    SettingsStore &store = realStore ? static_cast<SettingsStore &>(real) : tracing;

    // The user takes a while over the box; the cycle writes nothing meanwhile,
    // and a second close request (another SIGTERM) does not start it all again.
    frmMain window(services(store));
    qsizetype recordsWhileOpen = -1;
    m_fakes->messageBox.whileOpen = [&](const ShownBox &) {
        if (m_fakes->messageBox.shown.size() > 1)
            return;
        const qsizetype before = records(path).size();
        QTest::qWait(100);
        window.close();
        QTest::qWait(100);
        recordsWhileOpen = records(path).size() - before;
    };
    runLogging(window, path, [&window] { window.close(); });

    QCOMPARE(m_fakes->messageBox.shown.size(), 1);
    const ShownBox box = m_fakes->messageBox.shown.constFirst();
    QVERIFY2(box.prompt.contains(store.location()), qPrintable(box.prompt));
    QVERIFY2(box.prompt.contains(reason), qPrintable(box.prompt));
    QCOMPARE(box.caption, QString()); // the application title
    QCOMPARE(recordsWhileOpen, qsizetype(0));
    if (!realStore)
        QCOMPARE(m_events, QStringList{QStringLiteral("MainLeft")}); // the first failure stops the writes

    QCOMPARE(m_fakes->ends, 1);
    QVERIFY(window.isUnloaded());
    QVERIFY(!heldOpen(path));
    const QList<QByteArray> lines = records(path);
    QCOMPARE(lines.size(), window.recordCounter() - 1);
    for (const QByteArray &line : lines)
        QVERIFY2(wholeRecord(line), line.constData());
}

void FrmMainCloseTest::closeWhileAboutIsOpen()
{
    TracingStore store;
    store.events = &m_events;
    store.state = [] {
        const QWidgetList windows = QApplication::topLevelWidgets();
        for (QWidget *w : windows) {
            if (qobject_cast<frmAbout *>(w) && w->isVisible())
                return QStringLiteral(", about open");
        }
        return QStringLiteral(", about gone");
    };
    frmMain window(services(store));

    bool aboutOpen = false;
    qsizetype windowsBefore = 0;
    qsizetype windowsAfter = 0;
    QTimer::singleShot(100, &window, [&] { window.menuItem(QStringLiteral("mnuHelpAbout"))->trigger(); });
    // Arrives inside the About box's own loop.
    QTimer::singleShot(400, &window, [&] {
        auto *about = window.findChild<frmAbout *>(QStringLiteral("frmAbout"));
        aboutOpen = about && about->isVisible();
        windowsBefore = window.openWindows().count();
        window.close();
        windowsAfter = window.openWindows().count();
    });
    QTimer::singleShot(15000, &window, [&window] { window.close(); }); // in case
    window.Show();

    QVERIFY(aboutOpen);
    QCOMPARE(windowsBefore, qsizetype(2));
    QCOMPARE(windowsAfter, qsizetype(1));
    QVERIFY(!window.findChild<frmAbout *>(QStringLiteral("frmAbout"))); // its opening has ended
    QCOMPARE(m_events, (QStringList{QStringLiteral("MainLeft, about gone"), QStringLiteral("MainTop, about gone"),
                                    QStringLiteral("MainWidth, about gone"), QStringLiteral("MainHeight, about gone"),
                                    QStringLiteral("flush, about gone")}));
    QCOMPARE(m_fakes->ends, 1);
    QVERIFY(window.isUnloaded());
}

QTEST_MAIN(FrmMainCloseTest)
#include "frmmain_close_test.moc"
