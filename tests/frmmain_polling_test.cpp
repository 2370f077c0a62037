// The polling cycle in the real main window, reading through the real
// browser view from a gateway simulator on an ephemeral port.

#include "fakeservices.h"
#include "frmmain.h"
#include "gatewaysimulator.h"
#include "statusbar.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

using namespace kestrin;
using namespace kestrin::testing;

namespace {

QString romId(int slot)
{
    return QString::fromLatin1(SensorTable::romIds()[std::size_t(slot)]);
}

// Calls back on every paint of the watched widget.
class FrameWatcher final : public QObject
{
public:
    explicit FrameWatcher(std::function<void()> onPaint) : m_onPaint(std::move(onPaint)) {}
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            m_onPaint();
        return false;
    }

private:
    std::function<void()> m_onPaint;
};

} // namespace

class FrmMainPollingTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void requestsInTableOrderByteForByte();
    void readingsComeFromThePages();
    void unusablePageKeepsLastGoodValue_data();
    void unusablePageKeepsLastGoodValue();
    void unreachableGatewayLeavesZeroAndKeepsTurning();
    void windowHiddenUntilFirstPageCompletes();
    void displayWhileReadInFlight();
    void addressListGrowsAndIsCapped();
    void closingEndsTheCycle();
    void everyFrameShowsThePageOfTheSensorShown();
    void silentSensorsAreNamedInTheStatusBar_data();
    void silentSensorsAreNamedInTheStatusBar();

private:
    bool startSimulator(int conversionMs);
    std::unique_ptr<frmMain> makeWindow(const QString &host, int minFailedLoadMs = 1000);

    std::unique_ptr<sim::GatewaySimulator> m_sim;
    FakeServices m_fakes;
    QString m_host;
};

void FrmMainPollingTest::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void FrmMainPollingTest::init()
{
    QVERIFY(startSimulator(0));
}

bool FrmMainPollingTest::startSimulator(int conversionMs)
{
    m_sim.reset();
    sim::SimulatorOptions options;
    options.conversionMs = conversionMs;
    m_sim = std::make_unique<sim::GatewaySimulator>(options);
    std::string error;
    if (!m_sim->start(&error)) {
        qWarning("simulator: %s", error.c_str());
        return false;
    }
    m_host = QStringLiteral("127.0.0.1:%1").arg(m_sim->port());
    return true;
}

void FrmMainPollingTest::cleanup()
{
    m_sim.reset();
}

std::unique_ptr<frmMain> FrmMainPollingTest::makeWindow(const QString &host, int minFailedLoadMs)
{
    WebBrowser::Options browser;
    browser.minFailedLoadMs = minFailedLoadMs;
    browser.loader.timeoutMs = 3000;
    auto window = std::make_unique<frmMain>(m_fakes.services(host, browser));
    window->cycle().prepare();
    return window;
}

void FrmMainPollingTest::requestsInTableOrderByteForByte()
{
    auto window = makeWindow(m_host);
    QVERIFY(window->cycle().runPass(11));
    const std::vector<std::string> targets = m_sim->requestTargets();
    QCOMPARE(targets.size(), std::size_t(11));
    for (int i = 0; i < 11; ++i) {
        const std::string expected = "/1Wire/ReadDS18B20.html?DS18B20Request=%7b" + romId(i).toStdString() + ",12%7d";
        QCOMPARE(targets.at(std::size_t(i)), expected);
    }
    // Connections are kept alive between reads.
    QVERIFY2(m_sim->connectionCount() <= 2, std::to_string(m_sim->connectionCount()).c_str());
}

void FrmMainPollingTest::readingsComeFromThePages()
{
    m_sim->setFault(sim::Fault::PowerOn85, romId(4).toStdString());
    auto window = makeWindow(m_host);
    QVERIFY(window->cycle().runPass(11));
    for (qint16 i = 0; i < 11; ++i) {
        const float value = window->cycle().table().reading(i).value();
        if (i == 4)
            QCOMPARE(value, 85.0f);
        else
            QVERIFY2(value > 16.0f && value < 26.0f, qPrintable(QString::number(value)));
        // Quantised to the 12-bit step, so exactly representable.
        QCOMPARE(value * 16.0f, std::round(value * 16.0f));
    }
    // Shown with the next frame at the latest.
    QTRY_COMPARE(window->findChild<QLineEdit *>(QStringLiteral("txtSensorNum"))->text(), QStringLiteral("11"));
    QTRY_COMPARE(window->findChild<QLineEdit *>(QStringLiteral("txtTemperature"))->text(),
                 QString::number(double(window->cycle().table().reading(10).value())));
}

void FrmMainPollingTest::unusablePageKeepsLastGoodValue_data()
{
    QTest::addColumn<int>("fault");
    QTest::newRow("no element") << int(sim::Fault::MissingElement);
    QTest::newRow("http 500") << int(sim::Fault::Http500);
    QTest::newRow("connection closed") << int(sim::Fault::CloseConnection);
    QTest::newRow("empty value") << int(sim::Fault::EmptyValue);
    QTest::newRow("not numeric") << int(sim::Fault::NonNumeric);
    QTest::newRow("oversized") << int(sim::Fault::Oversized);
}

void FrmMainPollingTest::unusablePageKeepsLastGoodValue()
{
    QFETCH(int, fault);
    auto window = makeWindow(m_host, 20);
    QVERIFY(window->cycle().runPass(11));
    const float before = window->cycle().table().reading(2).value();
    QVERIFY(before != 0.0f);

    m_sim->setFault(sim::Fault(fault), romId(2).toStdString());
    QVERIFY(window->cycle().readSlot(2));
    QCOMPARE(window->cycle().table().reading(2).value(), before);
    // Shown with the next frame at the latest.
    QTRY_COMPARE(window->findChild<QLineEdit *>(QStringLiteral("txtSensorNum"))->text(), QStringLiteral("3"));
    QTRY_COMPARE(window->findChild<QLineEdit *>(QStringLiteral("txtTemperature"))->text(),
                 QString::number(double(before)));
}

void FrmMainPollingTest::unreachableGatewayLeavesZeroAndKeepsTurning()
{
    const int port = m_sim->port();
    m_sim.reset(); // nothing listens there any more
    auto window = makeWindow(QStringLiteral("127.0.0.1:%1").arg(port), 30);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(window->cycle().runPass(11));
    QVERIFY(window->cycle().runPass(11));
    // Each failed read is held back, so the cycle does not spin.
    QVERIFY2(clock.elapsed() >= 22 * 30, qPrintable(QString::number(clock.elapsed())));
    for (qint16 i = 0; i < 11; ++i)
        QCOMPARE(window->cycle().table().reading(i).value(), 0.0f);
    QTRY_COMPARE(window->findChild<QLineEdit *>(QStringLiteral("txtSensorNum"))->text(), QStringLiteral("11"));
    QTRY_COMPARE(window->findChild<QLineEdit *>(QStringLiteral("txtTemperature"))->text(), QStringLiteral("0"));
}

void FrmMainPollingTest::windowHiddenUntilFirstPageCompletes()
{
    QVERIFY(startSimulator(150));
    auto window = makeWindow(m_host);
    bool checked = false;
    QTimer::singleShot(50, window.get(), [&] {
        checked = true;
        QVERIFY(!window->isVisible());
    });
    QVERIFY(!window->isVisible());
    QVERIFY(window->cycle().readSlot(0));
    QVERIFY(checked);
    QVERIFY(window->isVisible());
}

void FrmMainPollingTest::displayWhileReadInFlight()
{
    QVERIFY(startSimulator(150));
    auto window = makeWindow(m_host);
    QVERIFY(window->cycle().readSlot(0));
    const QString firstTemperature = window->findChild<QLineEdit *>(QStringLiteral("txtTemperature"))->text();

    QString address, number, temperature;
    QTimer::singleShot(50, window.get(), [&] {
        address = window->findChild<QComboBox *>(QStringLiteral("cboAddress"))->currentText();
        number = window->findChild<QLineEdit *>(QStringLiteral("txtSensorNum"))->text();
        temperature = window->findChild<QLineEdit *>(QStringLiteral("txtTemperature"))->text();
    });
    QVERIFY(window->cycle().readSlot(1));
    QCOMPARE(address, window->cycle().table().url(1).value());
    QCOMPARE(number, QStringLiteral("1"));
    QCOMPARE(temperature, firstTemperature);
    QCOMPARE(window->findChild<QLineEdit *>(QStringLiteral("txtSensorNum"))->text(), QStringLiteral("2"));
}

void FrmMainPollingTest::addressListGrowsAndIsCapped()
{
    auto window = makeWindow(m_host);
    auto *box = window->findChild<QComboBox *>(QStringLiteral("cboAddress"));
    QVERIFY(window->cycle().runPass(11));
    QVERIFY(window->cycle().runPass(11));
    QCOMPARE(box->count(), 22);
    for (int i = 0; i < 22; ++i)
        QCOMPARE(box->itemText(i), window->cycle().table().url(qint16(i % 11)).value());

    // Nearly full: the oldest entries make room for the new ones.
    QStringList filler;
    for (int i = box->count(); i < 32767 - 5; ++i)
        filler << QStringLiteral("old %1").arg(i);
    box->addItems(filler);
    QCOMPARE(box->count(), 32762);
    QVERIFY(window->cycle().runPass(11));
    QCOMPARE(box->count(), 32767);
    QCOMPARE(box->itemText(0), window->cycle().table().url(6).value()); // six of the first pass dropped
    QCOMPARE(box->itemText(32766), window->cycle().table().url(10).value());
    QTRY_COMPARE(box->currentText(), window->cycle().table().url(10).value());
}

void FrmMainPollingTest::closingEndsTheCycle()
{
    WebBrowser::Options browser;
    auto window = std::make_unique<frmMain>(m_fakes.services(m_host, browser));
    m_fakes.ends = 0;
    QTimer::singleShot(300, window.get(), [&] { window->close(); });
    QElapsedTimer clock;
    clock.start();
    window->Show(); // returns only because the fake end of the process returns
    QVERIFY(clock.elapsed() < 5000);
    QCOMPARE(m_fakes.ends, 1);
    QVERIFY(window->isUnloaded());
    QVERIFY(!window->isVisible());
    QVERIFY(m_sim->requestCount() > 11);
}

// At a gateway pace of 100 ms a read, whenever the page view is painted it
// shows the page of the sensor in txtSensorNum, or of the read in flight.
void FrmMainPollingTest::everyFrameShowsThePageOfTheSensorShown()
{
    QVERIFY(startSimulator(100));
    auto window = makeWindow(m_host);
    auto *pageView = window->findChild<QPlainTextEdit *>(QStringLiteral("pageView"));
    auto *number = window->findChild<QLineEdit *>(QStringLiteral("txtSensorNum"));
    auto *address = window->findChild<QComboBox *>(QStringLiteral("cboAddress"));
    QVERIFY(pageView && number && address);

    int frames = 0;
    QStringList mismatches;
    FrameWatcher watcher([&] {
        const QString page = pageView->toPlainText();
        if (number->text().isEmpty() || page.isEmpty())
            return;
        ++frames;
        const QString shown = romId(number->text().toInt() - 1);
        const QString inFlight = address->currentText().section(u'{', 1).left(16);
        if (!page.contains(shown) && !page.contains(inFlight))
            mismatches << QStringLiteral("sensor %1, address %2").arg(number->text(), inFlight);
    });
    pageView->viewport()->installEventFilter(&watcher);
    QVERIFY(window->cycle().runPass(11));
    QVERIFY(window->cycle().runPass(11));
    QVERIFY2(frames >= 11, qPrintable(QString::number(frames)));
    QVERIFY2(mismatches.isEmpty(), qPrintable(mismatches.join(QStringLiteral("; "))));
}

void FrmMainPollingTest::silentSensorsAreNamedInTheStatusBar_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("allSensors");
    QTest::addColumn<QString>("expected");
    const QString since = QStringLiteral(" since 10:45:41 AM");
    QTest::newRow("http error") << QStringLiteral("http-500") << false
                                << QStringLiteral("No answer from sensor 5") + since + QStringLiteral(" (HTTP 500)");
    QTest::newRow("no element") << QStringLiteral("missing-element") << false
                                << QStringLiteral("No answer from sensor 5") + since
            + QStringLiteral(" (no Temperature_0 on the page)");
    QTest::newRow("not a number") << QStringLiteral("non-numeric") << false
                                  << QStringLiteral("No answer from sensor 5") + since
            + QStringLiteral(" (value \"n/a\" is not a number)");
    QTest::newRow("empty value") << QStringLiteral("empty-value") << false
                                 << QStringLiteral("No answer from sensor 5") + since + QStringLiteral(" (empty value)");
    QTest::newRow("every sensor") << QStringLiteral("http-500") << true
                                  << QStringLiteral("No answer from sensors 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11") + since
            + QStringLiteral(" (HTTP 500)");
}

// A sensor that fails keeps its last good value in the window and the log;
// the status bar says which one, since when and why, until it answers again.
void FrmMainPollingTest::silentSensorsAreNamedInTheStatusBar()
{
    QFETCH(QString, fault);
    QFETCH(bool, allSensors);
    QFETCH(QString, expected);
    m_fakes.now = QDateTime(QDate(2026, 12, 7), QTime(10, 45, 41));
    auto window = makeWindow(m_host, 20);
    auto *status = window->findChild<StatusBar *>(QStringLiteral("sbStatusBar"));
    QVERIFY(window->cycle().runPass(11));
    QCOMPARE(status->panelText(1), QStringLiteral("Status"));

    const auto kind = sim::faultFromName(fault.toStdString());
    QVERIFY(kind);
    m_sim->setFault(*kind, allSensors ? std::string() : std::string(SensorTable::romIds()[4]));
    QVERIFY(window->cycle().runPass(11));
    QCOMPARE(status->panelText(1), expected);

    m_fakes.now = m_fakes.now.addSecs(30); // still failing: the time it began stays
    QVERIFY(window->cycle().runPass(11));
    QCOMPARE(status->panelText(1), expected);

    m_sim->clearFaults();
    QVERIFY(window->cycle().runPass(11));
    QCOMPARE(status->panelText(1), QStringLiteral("Status"));
}

QTEST_MAIN(FrmMainPollingTest)
#include "frmmain_polling_test.moc"
