// The main window as a screen reader learns it: what each control is called
// and what it is, the labels tied to their fields, and the change events
// the temperature field sends while the cycle reads from a gateway.

#include "accessibletree.h"
#include "fakeservices.h"
#include "frmmain.h"
#include "gatewaysimulator.h"
#include "numberformat.h"
#include "statusbar.h"

#include <QAccessible>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

using namespace kestrin;
using namespace kestrin::testing;

namespace {

struct TextChange
{
    qint64 atMs;
    QString inserted;
    QString fieldText; // what the field held when it told
};

// The update handler is a plain function: what it hears goes here.
struct Heard
{
    const QObject *watched = nullptr;
    QElapsedTimer clock;
    QList<TextChange> changes;
} heard;

// A line edit tells its first text as inserted, each one after as updated.
void recordUpdate(QAccessibleEvent *event)
{
    if (event->object() != heard.watched)
        return;
    QString inserted;
    if (event->type() == QAccessible::TextInserted)
        inserted = static_cast<QAccessibleTextInsertEvent *>(event)->textInserted();
    else if (event->type() == QAccessible::TextUpdated)
        inserted = static_cast<QAccessibleTextUpdateEvent *>(event)->textInserted();
    else
        return;
    heard.changes.append({heard.clock.elapsed(), inserted, static_cast<const QLineEdit *>(heard.watched)->text()});
}

} // namespace

class FrmMainAccessibilityTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void controlsAreNamed_data();
    void controlsAreNamed();
    void labelsNameTheirFields_data();
    void labelsNameTheirFields();
    void everyFocusableControlIsNamed();
    void statusPanelsSayWhatTheyShow();
    void temperatureChangesAreTold_data();
    void temperatureChangesAreTold();

private:
    bool startSimulator(int conversionMs);
    std::unique_ptr<frmMain> makeWindow();
    QWidget *control(const frmMain &window, const QString &name) const;

    std::unique_ptr<sim::GatewaySimulator> m_sim;
    FakeServices m_fakes;
};

void FrmMainAccessibilityTest::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    // What a screen reader's arrival does: from now on widgets send their
    // change events, here to the handler instead of a bridge.
    QPlatformIntegration *platform = QGuiApplicationPrivate::platformIntegration();
    QVERIFY(platform && platform->accessibility());
    platform->accessibility()->setActive(true);
    QVERIFY(QAccessible::isActive());
    QAccessible::installUpdateHandler(recordUpdate);
}

void FrmMainAccessibilityTest::cleanup()
{
    heard.watched = nullptr;
    heard.changes.clear();
    m_sim.reset();
}

bool FrmMainAccessibilityTest::startSimulator(int conversionMs)
{
    sim::SimulatorOptions options;
    options.conversionMs = conversionMs;
    m_sim = std::make_unique<sim::GatewaySimulator>(options);
    std::string error;
    if (!m_sim->start(&error)) {
        qWarning("simulator: %s", error.c_str());
        return false;
    }
    return true;
}

std::unique_ptr<frmMain> FrmMainAccessibilityTest::makeWindow()
{
    const QString host = m_sim ? QStringLiteral("127.0.0.1:%1").arg(m_sim->port()) : QStringLiteral("127.0.0.1:9");
    WebBrowser::Options browser;
    browser.minFailedLoadMs = 10;
    browser.loader.timeoutMs = 3000;
    auto window = std::make_unique<frmMain>(m_fakes.services(host, browser));
    window->cycle().prepare();
    return window;
}

// "cboAddress.edit" is the line edit inside the address box.
QWidget *FrmMainAccessibilityTest::control(const frmMain &window, const QString &name) const
{
    if (name == QLatin1String("cboAddress.edit"))
        return window.findChild<QComboBox *>(QStringLiteral("cboAddress"))->lineEdit();
    return window.findChild<QWidget *>(name);
}

void FrmMainAccessibilityTest::controlsAreNamed_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("described");
    const auto row = [](const char *control, QAccessible::Role role, const char *name, bool described) {
        QTest::newRow(control) << QString::fromLatin1(control) << int(role) << QString::fromLatin1(name) << described;
    };
    row("txtSensorNum", QAccessible::EditableText, "Sensor Number", true);
    row("txtTemperature", QAccessible::EditableText, "Temperature", true);
    row("txtRecNum", QAccessible::EditableText, "Records Written", true);
    row("txtFileName", QAccessible::EditableText, "Log file", true);
    row("cboAddress.edit", QAccessible::EditableText, "Address", true);
    row("pageView", QAccessible::EditableText, "Page", true);
    row("btnFileWrite", QAccessible::Button, "Start Logging", true);
    row("btnStop", QAccessible::Button, "Stop Program", true);
    row("tbToolBar", QAccessible::ToolBar, "Toolbar", false);
    // Found by its role, which a plain widget does not have of its own.
    row("sbStatusBar", QAccessible::StatusBar, "Status bar", false);
}

void FrmMainAccessibilityTest::controlsAreNamed()
{
    QFETCH(QString, control);
    QFETCH(int, role);
    QFETCH(QString, name);
    QFETCH(bool, described);
    const auto window = makeWindow();
    QWidget *widget = this->control(*window, control);
    QVERIFY(widget);
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(widget);
    QVERIFY(iface);
    QCOMPARE(int(iface->role()), role);
    QCOMPARE(iface->text(QAccessible::Name), name);
    QCOMPARE(!iface->text(QAccessible::Description).isEmpty(), described);
}

void FrmMainAccessibilityTest::labelsNameTheirFields_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("field");
    QTest::newRow("sensor number") << QStringLiteral("Label1") << QStringLiteral("txtSensorNum");
    QTest::newRow("temperature") << QStringLiteral("Label2") << QStringLiteral("txtTemperature");
    QTest::newRow("records written") << QStringLiteral("Label3") << QStringLiteral("txtRecNum");
}

// The relation both ways, as a screen reader follows it from either end.
void FrmMainAccessibilityTest::labelsNameTheirFields()
{
    QFETCH(QString, label);
    QFETCH(QString, field);
    const auto window = makeWindow();
    QAccessibleInterface *labelIface = QAccessible::queryAccessibleInterface(control(*window, label));
    QAccessibleInterface *fieldIface = QAccessible::queryAccessibleInterface(control(*window, field));
    QVERIFY(labelIface && fieldIface);

    const auto labels = fieldIface->relations(QAccessible::Label);
    QCOMPARE(labels.size(), 1);
    QCOMPARE(labels.first().first->object(), control(*window, label));
    const auto labelled = labelIface->relations(QAccessible::Labelled);
    QCOMPARE(labelled.size(), 1);
    QCOMPARE(labelled.first().first->object(), control(*window, field));
    QCOMPARE(fieldIface->text(QAccessible::Name), labelIface->text(QAccessible::Name));
}

// As the user first meets the window: shown with its first pass read.
void FrmMainAccessibilityTest::everyFocusableControlIsNamed()
{
    QVERIFY(startSimulator(0));
    const auto window = makeWindow();
    QVERIFY(window->cycle().runPass(11));
    QVERIFY(window->isVisible());
    const QStringList unnamed = unnamedFocusable(window.get());
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral("; "))));
}

void FrmMainAccessibilityTest::statusPanelsSayWhatTheyShow()
{
    const auto window = makeWindow();
    auto *bar = window->findChild<StatusBar *>(QStringLiteral("sbStatusBar"));
    QAccessibleInterface *barIface = QAccessible::queryAccessibleInterface(bar);
    QCOMPARE(barIface->childCount(), StatusBar::panelCount);
    const QStringList descriptions = {QStringLiteral("Status"), QStringLiteral("Date"), QStringLiteral("Time")};
    const QString failing = QStringLiteral("No answer from sensor 5 since 10:45:41 AM (HTTP 500)");
    bar->setPanelText(1, failing);
    for (int panel = 1; panel <= StatusBar::panelCount; ++panel) {
        QAccessibleInterface *iface = barIface->child(panel - 1);
        QCOMPARE(iface->text(QAccessible::Name), bar->panelText(panel));
        QCOMPARE(iface->text(QAccessible::Description), descriptions.at(panel - 1));
    }
    QCOMPARE(barIface->child(0)->text(QAccessible::Name), failing);
}

void FrmMainAccessibilityTest::temperatureChangesAreTold_data()
{
    QTest::addColumn<int>("conversionMs");
    QTest::addColumn<int>("minimumMs"); // passes are read until this long has gone
    // Far faster than a frame a read: the paced text holds the events down.
    QTest::newRow("0 ms a read") << 0 << 1500;
    // Slower than a frame: every read is told as it completes.
    QTest::newRow("100 ms a read") << 100 << 0;
}

void FrmMainAccessibilityTest::temperatureChangesAreTold()
{
    QFETCH(int, conversionMs);
    QFETCH(int, minimumMs);
    QVERIFY(startSimulator(conversionMs));
    const auto window = makeWindow();
    auto *field = window->findChild<QLineEdit *>(QStringLiteral("txtTemperature"));
    heard.watched = field;
    heard.clock.start();

    // A pass leaves each slot's reading in the table: those are what it showed.
    QStringList shownByReads; // repeats of the text before left out
    qint64 reads = 0;
    do {
        QVERIFY(window->cycle().runPass(window->cycle().sensorCount()));
        for (qint16 slot = 0; slot < window->cycle().sensorCount(); ++slot) {
            ++reads;
            const QString text = NumberFormat::displayText(window->cycle().table().reading(slot).value_or(0.0f), QLocale());
            if (shownByReads.isEmpty() || shownByReads.last() != text)
                shownByReads << text;
        }
    } while (heard.clock.elapsed() < minimumMs);
    const qint64 elapsed = heard.clock.elapsed();
    QTRY_COMPARE(field->text(), shownByReads.last());

    const QList<TextChange> &changes = heard.changes;
    QVERIFY(!changes.isEmpty());
    // Each event carries the text the field then holds, and the last one
    // the reading the window ends with.
    for (const TextChange &change : changes)
        QCOMPARE(change.inserted, change.fieldText);
    QCOMPARE(changes.last().inserted, shownByReads.last());

    // No more than one a frame (25 a second); a timer may fire a
    // millisecond early.
    const QString rate = QStringLiteral("%1 changes in %2 ms, %3 reads").arg(changes.size()).arg(elapsed).arg(reads);
    qInfo("%s", qPrintable(rate));
    for (qsizetype i = 1; i < changes.size(); ++i) {
        const qint64 gap = changes.at(i).atMs - changes.at(i - 1).atMs;
        QVERIFY2(gap >= 39, qPrintable(QStringLiteral("%1 ms between changes %2 and %3; ").arg(gap).arg(i - 1).arg(i) + rate));
    }
    QStringList told;
    for (const TextChange &change : changes)
        told << change.inserted;
    if (conversionMs >= 100) {
        QCOMPARE(told, shownByReads);
    } else {
        // Fewer than the reads, but still about one a frame.
        QVERIFY2(told.size() < reads, qPrintable(QStringLiteral("%1 changes, %2 reads").arg(told.size()).arg(reads)));
        QVERIFY2(told.size() * 40 >= elapsed / 2,
                 qPrintable(QStringLiteral("%1 changes in %2 ms").arg(told.size()).arg(elapsed)));
    }
}

QTEST_MAIN(FrmMainAccessibilityTest)
#include "frmmain_accessibility_test.moc"
