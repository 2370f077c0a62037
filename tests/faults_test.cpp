// The real main window against a misbehaving gateway: every fault the
// simulator can inject, an unreachable host, and the gateway going away and
// coming back, each on one sensor and on all of them, with logging on.

#include "fakeservices.h"
#include "readhook.h"
#include "frmmain.h"
#include "gatewaysimulator.h"
#include "toolbar.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

using namespace kestrin;
using namespace kestrin::testing;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int Sensors = 11;
constexpr qint16 FaultySlot = 3; // sensor 4, in the middle of the pass
// Over a second, so that a wait which stopped handling events while a read
// stalls would show as a click left unanswered for longer than that.
constexpr int BrowserTimeoutMs = 1200;
constexpr int FailedLoadHoldMs = 100;
const QByteArray Stamp = "12/7/2026 10:45:41 AM";

// How the gateway misbehaves: one of the simulator's faults, or something
// around it that the simulator cannot do by itself.
enum class Trouble { Unreachable = 100, StopRestart = 101 };

using Readings = std::array<float, Sensors>;

QString romId(int slot)
{
    return QString::fromLatin1(SensorTable::romIds()[std::size_t(slot)]);
}

// A port on which nothing listens: bound once, then released.
int deadPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address));
    socklen_t length = sizeof(address);
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// Presses a toolbar button from another thread at a steady rate, the way a
// user would click while the program polls, and measures how long each
// press waits before the window handles it.
class Clicker final
{
public:
    struct State
    {
        Clock::time_point postedAt;
        QList<qint64> latenciesMs; // GUI thread only
        std::atomic<int> posted{0};
    };

    Clicker(QWidget *button, RecordingMessageBox &box) : m_button(button), m_state(std::make_shared<State>())
    {
        box.whileOpen = [state = m_state](const ShownBox &) {
            state->latenciesMs << std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now()
                                                                                        - state->postedAt)
                                      .count();
        };
        m_thread = std::thread([this] { run(); });
    }

    ~Clicker() { stop(); }

    // Posts one press now, from the calling thread.
    void post()
    {
        const Clock::time_point postedAt = Clock::now();
        ++m_state->posted;
        QMetaObject::invokeMethod(
            m_button,
            [state = m_state, button = m_button, postedAt] {
                state->postedAt = postedAt;
                QTest::mouseClick(button, Qt::LeftButton);
            },
            Qt::QueuedConnection);
    }

    void stop()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }

    const State &state() const { return *m_state; }

private:
    void run()
    {
        std::unique_lock lock(m_mutex);
        while (!m_stopping) {
            lock.unlock();
            post();
            lock.lock();
            m_wake.wait_for(lock, std::chrono::milliseconds(120), [this] { return m_stopping; });
        }
    }

    QWidget *m_button;
    std::shared_ptr<State> m_state;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::thread m_thread;
};

struct Record
{
    QByteArray line;
    QList<float> readings;
    bool whole = false;
};

// Splits the log into lines and checks each one's form; a trailing piece
// without CR LF comes back as a record that is not whole.
QList<Record> readLog(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray all = file.readAll();
    QList<Record> records;
    while (!all.isEmpty()) {
        const qsizetype end = all.indexOf("\r\n");
        Record record;
        record.line = end < 0 ? all : all.left(end);
        all = end < 0 ? QByteArray() : all.mid(end + 2);
        record.whole = end >= 0 && !record.line.contains('\n') && !record.line.contains('\r')
            && record.line.startsWith(QByteArray(Stamp + ", ")) && record.line.count(" , ") == Sensors - 1;
        if (record.whole) {
            const QList<QByteArray> fields = record.line.mid(Stamp.size() + 2).split(',');
            for (const QByteArray &field : fields) {
                bool ok = false;
                record.readings << field.trimmed().toFloat(&ok);
                record.whole = record.whole && ok;
            }
            record.whole = record.whole && record.readings.size() == Sensors;
        }
        records << record;
    }
    return records;
}

} // namespace

class FaultsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void faultTable_data();
    void faultTable();

private:
    std::unique_ptr<sim::GatewaySimulator> m_sim;
    QTemporaryDir m_dir;
};

void FaultsTest::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QVERIFY(m_dir.isValid());
}

void FaultsTest::cleanup()
{
    m_sim.reset();
}

void FaultsTest::faultTable_data()
{
    QTest::addColumn<int>("trouble");
    QTest::addColumn<bool>("allSensors");

    const std::array<std::pair<const char *, int>, 10> troubles = {{
        {"no element", int(sim::Fault::MissingElement)},
        {"http 500", int(sim::Fault::Http500)},
        {"connection closed", int(sim::Fault::CloseConnection)},
        {"stall past the time-out", int(sim::Fault::Stall)},
        {"empty value", int(sim::Fault::EmptyValue)},
        {"not numeric", int(sim::Fault::NonNumeric)},
        {"oversized body", int(sim::Fault::Oversized)},
        {"85 at power-on", int(sim::Fault::PowerOn85)},
        {"unreachable host", int(Trouble::Unreachable)},
        {"gateway stopped and restarted", int(Trouble::StopRestart)},
    }};
    for (const auto &[name, trouble] : troubles) {
        QTest::addRow("%s, one sensor", name) << trouble << false;
        QTest::addRow("%s, all sensors", name) << trouble << true;
    }
}

// Three passes: the first with the trouble present from the start (nothing
// read yet), the second with a healthy gateway, the third with the trouble
// back (the values of the second pass must stand).
void FaultsTest::faultTable()
{
    QFETCH(int, trouble);
    QFETCH(bool, allSensors);

    sim::SimulatorOptions options;
    options.conversionMs = 0;
    options.stallMs = BrowserTimeoutMs + 1000;
    m_sim = std::make_unique<sim::GatewaySimulator>(options);
    std::string error;
    QVERIFY2(m_sim->start(&error), error.c_str());
    const int port = m_sim->port();
    const QString host = QStringLiteral("127.0.0.1:%1").arg(port);
    const QString deadHost = QStringLiteral("127.0.0.1:%1").arg(deadPort());

    FakeServices fakes;
    WebBrowser::Options browser;
    browser.loader.timeoutMs = BrowserTimeoutMs;
    browser.minFailedLoadMs = FailedLoadHoldMs;
    auto window = std::make_unique<frmMain>(fakes.services(host, browser));
    window->cycle().prepare();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));

    const QString logPath = m_dir.filePath(QStringLiteral("%1.txt").arg(QString::fromLatin1(QTest::currentDataTag())));
    fakes.dialog.answers = {logPath};
    window->findChild<QPushButton *>(QStringLiteral("btnFileWrite"))->click();
    QCOMPARE(window->loggingFlag(), qint16(-1));

    auto *sensorNum = window->findChild<QLineEdit *>(QStringLiteral("txtSensorNum"));
    auto *toolBar = window->findChild<ToolBar *>(QStringLiteral("tbToolBar"));
    QWidget *newButton = toolBar->widgetForAction(toolBar->button(QStringLiteral("New")));
    QVERIFY(newButton);

    // Switches the trouble on or off for the next pass. For one sensor, the
    // host-level troubles start right before its read and end right after.
    QMetaObject::Connection aroundFaultySlot;
    bool restartFailed = false;
    auto setTrouble = [&](bool on) {
        QObject::disconnect(aroundFaultySlot);
        if (trouble == int(Trouble::Unreachable) || trouble == int(Trouble::StopRestart)) {
            const bool stopGateway = trouble == int(Trouble::StopRestart);
            auto down = [&, stopGateway] {
                if (stopGateway)
                    m_sim->stop();
                else
                    window->cycle().table().fill(deadHost);
            };
            auto up = [&, stopGateway] {
                if (stopGateway)
                    restartFailed = restartFailed || !m_sim->start();
                else
                    window->cycle().table().fill(host);
            };
            up();
            if (on && allSensors) {
                down();
            } else if (on) {
                // A read takes its URL from the table before the hook runs
                // and reaches the gateway after it: a changed table counts
                // from the next read on, a stopped gateway from this one.
                const int from = stopGateway ? FaultySlot : FaultySlot - 1;
                aroundFaultySlot = onReadStarting(*window, [down, up, from](int slot) {
                    if (slot == from)
                        down();
                    else if (slot == from + 1)
                        up();
                });
            }
            return;
        }
        m_sim->clearFaults();
        if (on)
            m_sim->setFault(sim::Fault(trouble), allSensors ? std::string() : romId(FaultySlot).toStdString());
    };
    auto faulty = [&](int slot) { return allSensors || slot == FaultySlot; };
    // Whatever the gateway did, the 85 of a power-on reset is a reading.
    const bool troubleIsAReading = trouble == int(sim::Fault::PowerOn85);

    Clicker clicker(newButton, fakes.messageBox);
    // One press more, posted just before a troubled read begins.
    QMetaObject::Connection pressDuringRead = onReadStarting(*window, [&](int slot) {
        if (slot == FaultySlot)
            clicker.post();
    });

    QElapsedTimer elapsed;
    elapsed.start();
    std::array<Readings, 3> passes{};
    const std::array<bool, 3> troubled = {true, false, true};
    for (std::size_t pass = 0; pass < passes.size(); ++pass) {
        setTrouble(troubled[pass]);
        const std::size_t requestsBefore = m_sim->requestCount();
        QVERIFY2(window->cycle().runPass(Sensors), "the cycle stopped");
        QTRY_COMPARE(sensorNum->text(), QStringLiteral("11"));
        for (qint16 i = 0; i < Sensors; ++i)
            passes[pass][std::size_t(i)] = window->cycle().table().reading(i).value();
        // Sensors the trouble left alone were read from the gateway.
        if (!allSensors || !troubled[pass])
            QVERIFY(m_sim->requestCount() >= requestsBefore + (troubled[pass] ? Sensors - 1 : Sensors));
    }
    setTrouble(false);
    QObject::disconnect(pressDuringRead);
    clicker.stop();
    QTest::qWait(20); // presses still queued are handled now
    QVERIFY(!restartFailed);
    QCOMPARE(m_sim->port(), port);
    qInfo("%lld ms for three passes", qint64(elapsed.elapsed()));

    // The window kept answering: every press was handled, none waited a second.
    const Clicker::State &clicks = clicker.state();
    QCOMPARE(int(clicks.latenciesMs.size()), clicks.posted.load());
    QVERIFY(clicks.latenciesMs.size() >= 2);
    const qint64 worst = *std::max_element(clicks.latenciesMs.cbegin(), clicks.latenciesMs.cend());
    QVERIFY2(worst < 1000, qPrintable(QStringLiteral("a click waited %1 ms").arg(worst)));
    qInfo("%d clicks, the slowest handled after %lld ms", int(clicks.latenciesMs.size()), worst);
    QCOMPARE(fakes.messageBox.shown.constLast().prompt, QStringLiteral("Add 'New' button code."));

    // The readings follow the rules.
    for (int i = 0; i < Sensors; ++i) {
        const QByteArray where = "sensor " + QByteArray::number(i + 1);
        const auto plausible = [](float value) { return value > 16.0f && value < 26.0f; };
        QVERIFY2(plausible(passes[1][std::size_t(i)]), where.constData());
        if (!faulty(i)) {
            QVERIFY2(plausible(passes[0][std::size_t(i)]), where.constData());
            QVERIFY2(plausible(passes[2][std::size_t(i)]), where.constData());
        } else if (troubleIsAReading) {
            QCOMPARE(passes[0][std::size_t(i)], 85.0f);
            QCOMPARE(passes[2][std::size_t(i)], 85.0f);
        } else {
            QCOMPARE(passes[0][std::size_t(i)], 0.0f);                     // never read
            QCOMPARE(passes[2][std::size_t(i)], passes[1][std::size_t(i)]); // last good value
        }
    }

    // The log: one whole record per pass, each with the readings of its pass.
    const QString counted = window->findChild<QLineEdit *>(QStringLiteral("txtRecNum"))->text();
    QCOMPARE(counted, QStringLiteral("3"));
    const QList<Record> records = readLog(logPath);
    QCOMPARE(QString::number(records.size()), counted);
    for (qsizetype r = 0; r < records.size(); ++r) {
        QVERIFY2(records.at(r).whole, records.at(r).line.constData());
        for (int i = 0; i < Sensors; ++i)
            QCOMPARE(records.at(r).readings.at(i), passes[std::size_t(r)][std::size_t(i)]);
    }
    QCOMPARE(fakes.ends, 0);
}

QTEST_MAIN(FaultsTest)
#include "faults_test.moc"
