#include "pollingcycle.h"
#include "pollingview.h"

#include <QHash>
#include <QStringList>
#include <QRegularExpression>
#include <QTest>

using namespace kestrin;

namespace {

// A scripted window: every load completes after `waitsPerLoad` rounds of event
// processing and offers the value scripted for its URL (none when absent).
class FakeView final : public PollingView
{
public:
    QHash<QString, QString> values;
    int waitsPerLoad = 2;
    int goneAfterEvents = -1; // the window disappears after this many event rounds

    QStringList log;
    QStringList items;
    QStringList navigations;
    QString address, sensorNum, temperature;
    bool visible = false;
    int passes = 0;
    int ends = 0;
    QList<float> recorded;

    void setAddressText(const QString &t) override { address = t; log << QStringLiteral("address"); }
    QString addressText() const override { return address; }
    void appendAddressItem(const QString &t) override { items << t; }
    void navigate(const QString &url) override
    {
        navigations << url;
        m_current = url;
        m_remaining = waitsPerLoad;
        // What the window shows while this page loads.
        log << QStringLiteral("navigate %1 num=%2 temp=%3").arg(address, sensorNum, temperature);
    }
    int readyState() const override { return m_remaining > 0 ? 1 : 4; }
    std::optional<QString> temperatureValue() const override
    {
        if (!values.contains(m_current))
            return std::nullopt;
        return values.value(m_current);
    }
    void showWindow() override
    {
        if (!visible)
            log << QStringLiteral("shown");
        visible = true;
    }
    void setSensorNumText(const QString &t) override { sensorNum = t; }
    void setTemperatureText(const QString &t) override { temperature = t; }
    void processEvents() override
    {
        --m_remaining;
        ++m_events;
    }
    bool windowGone() const override { return goneAfterEvents >= 0 && m_events >= goneAfterEvents; }
    void endAfterUnload() override { ++ends; }
    void endOfPass(const SensorTable &table, qint16 count) override
    {
        ++passes;
        log << QStringLiteral("record");
        recorded.clear();
        for (qint16 i = 0; i < count; ++i)
            recorded << table.reading(i).value_or(-999.0f);
    }

private:
    QString m_current;
    int m_remaining = 0;
    int m_events = 0;
};

QString urlOf(int slot)
{
    return SensorTable::urlFor(QStringLiteral("gw"), QString::fromLatin1(SensorTable::romIds()[slot]));
}

} // namespace

class PollingCycleTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void readingsInTableOrder();
    void unusableValueKeepsLastGood_data();
    void unusableValueKeepsLastGood();
    void windowShownOnlyAfterFirstPage();
    void displayDuringRead();
    void addressListGrowsPerRead();
    void raisedSensorCountSkipsEmptySlot();
    void windowGoneDuringWait();
    void localeDecimalSeparator();
    void siteSensors_data();
    void siteSensors();
};

void PollingCycleTest::readingsInTableOrder()
{
    FakeView view;
    for (int i = 0; i < 13; ++i)
        view.values.insert(urlOf(i), QString::number(20 + i) + QStringLiteral(".5"));
    PollingCycle cycle(view, QStringLiteral("gw"));
    cycle.prepare();
    QVERIFY(cycle.runPass(cycle.sensorCount()));

    QCOMPARE(view.navigations.size(), 11);
    for (int i = 0; i < 11; ++i)
        QCOMPARE(view.navigations.at(i), urlOf(i));
    QCOMPARE(view.passes, 1);
    QCOMPARE(view.recorded.size(), 11);
    for (int i = 0; i < 11; ++i)
        QCOMPARE(view.recorded.at(i), 20.5f + float(i));
    QCOMPARE(view.sensorNum, QStringLiteral("11"));
    QCOMPARE(view.temperature, QStringLiteral("30.5"));
    QCOMPARE(view.log.last(), QStringLiteral("record"));
}

void PollingCycleTest::unusableValueKeepsLastGood_data()
{
    QTest::addColumn<bool>("present");
    QTest::addColumn<QString>("secondValue");
    QTest::newRow("element missing") << false << QString();
    QTest::newRow("empty value") << true << QString();
    QTest::newRow("not a number") << true << QStringLiteral("n/a");
}

void PollingCycleTest::unusableValueKeepsLastGood()
{
    QFETCH(bool, present);
    QFETCH(QString, secondValue);

    FakeView view;
    view.values.insert(urlOf(3), QStringLiteral("19.25"));
    PollingCycle cycle(view, QStringLiteral("gw"));
    cycle.prepare();
    QVERIFY(cycle.runPass(11));
    QCOMPARE(view.recorded.at(3), 19.25f);
    QCOMPARE(view.recorded.at(4), 0.0f); // never read: 0, not blank

    view.values.remove(urlOf(3));
    if (present)
        view.values.insert(urlOf(3), secondValue);
    QVERIFY(cycle.readSlot(3));
    QCOMPARE(view.sensorNum, QStringLiteral("4"));
    QCOMPARE(view.temperature, QStringLiteral("19.25"));
    QCOMPARE(cycle.table().reading(3).value(), 19.25f);
}

void PollingCycleTest::windowShownOnlyAfterFirstPage()
{
    FakeView view;
    view.waitsPerLoad = 3;
    PollingCycle cycle(view, QStringLiteral("gw"));
    cycle.prepare();
    QVERIFY(cycle.readSlot(0));
    QVERIFY(view.visible);
    const qsizetype navigated = view.log.indexOf(QRegularExpression(QStringLiteral("navigate .*")));
    QVERIFY(navigated >= 0);
    QVERIFY(view.log.indexOf(QStringLiteral("shown")) > navigated);
}

void PollingCycleTest::displayDuringRead()
{
    FakeView view;
    view.values.insert(urlOf(0), QStringLiteral("21.5"));
    view.values.insert(urlOf(1), QStringLiteral("22"));
    PollingCycle cycle(view, QStringLiteral("gw"));
    cycle.prepare();
    QVERIFY(cycle.readSlot(0));
    QVERIFY(cycle.readSlot(1));
    // While sensor 2 loads, the address is already its URL, the boxes still sensor 1.
    QCOMPARE(view.log.filter(QStringLiteral("navigate ")).at(1),
             QStringLiteral("navigate %1 num=1 temp=21.5").arg(urlOf(1)));
    QCOMPARE(view.temperature, QStringLiteral("22"));
}

void PollingCycleTest::addressListGrowsPerRead()
{
    FakeView view;
    PollingCycle cycle(view, QStringLiteral("gw"));
    cycle.prepare();
    for (int pass = 0; pass < 3; ++pass)
        QVERIFY(cycle.runPass(11));
    QCOMPARE(view.items.size(), 33);
    for (int i = 0; i < 33; ++i)
        QCOMPARE(view.items.at(i), urlOf(i % 11));
}

void PollingCycleTest::raisedSensorCountSkipsEmptySlot()
{
    FakeView view;
    view.values.insert(urlOf(12), QStringLiteral("5"));
    PollingCycle cycle(view, QStringLiteral("gw"));
    cycle.prepare();
    QVERIFY(cycle.table().setReading(13, 0.0f));
    QVERIFY(cycle.runPass(14));
    QCOMPARE(view.navigations.size(), 13); // slot 13 is empty: no request
    QCOMPARE(view.recorded.size(), 14);
    QCOMPARE(view.recorded.at(12), 5.0f);
    QCOMPARE(view.recorded.at(13), 0.0f);
}

void PollingCycleTest::windowGoneDuringWait()
{
    FakeView view;
    view.waitsPerLoad = 5;
    view.goneAfterEvents = 7; // during the second read
    PollingCycle cycle(view, QStringLiteral("gw"));
    cycle.prepare();
    QVERIFY(!cycle.runPass(11));
    QCOMPARE(view.ends, 1);
    QCOMPARE(view.navigations.size(), 2);
    QCOMPARE(view.sensorNum, QStringLiteral("1")); // nothing written after the window went
    QCOMPARE(view.passes, 0);
}

void PollingCycleTest::localeDecimalSeparator()
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    FakeView view;
    view.values.insert(urlOf(0), QStringLiteral("21.5"));
    PollingCycle cycle(view, QStringLiteral("gw"));
    cycle.prepare();
    QVERIFY(cycle.readSlot(0));
    QCOMPARE(cycle.table().reading(0).value(), 21.5f);
    QCOMPARE(view.temperature, QStringLiteral("21,5"));
}

void PollingCycleTest::siteSensors_data()
{
    // Slots of the built-in table, in the order a site file lists them.
    QTest::addColumn<QList<int>>("slots");
    QTest::newRow("one sensor") << QList<int>{7};
    QTest::newRow("four, out of table order") << QList<int>{5, 0, 12, 2};
    QTest::newRow("eleven, reversed") << QList<int>{10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0};
}

void PollingCycleTest::siteSensors()
{
    QFETCH(QList<int>, slots);
    std::vector<QString> ids;
    FakeView view;
    for (const int slot : std::as_const(slots)) {
        ids.push_back(QString::fromLatin1(SensorTable::romIds()[std::size_t(slot)]));
        view.values.insert(urlOf(slot), QString::number(slot) + QStringLiteral(".25"));
    }
    const auto n = qint16(slots.size());
    PollingCycle cycle(view, QStringLiteral("gw"), ids, n);
    cycle.prepare();
    QCOMPARE(cycle.sensorCount(), n);
    QVERIFY(cycle.runPass(cycle.sensorCount()));

    // A pass reads the site's sensors in its order, and its record holds
    // one reading each; the rest of the 14 slots stay empty.
    QCOMPARE(view.navigations.size(), slots.size());
    QCOMPARE(view.recorded.size(), slots.size());
    for (qsizetype i = 0; i < slots.size(); ++i) {
        QCOMPARE(view.navigations.at(i), urlOf(slots.at(i)));
        QCOMPARE(view.recorded.at(i), float(slots.at(i)) + 0.25f);
    }
    for (qint16 slot = n; slot < SensorTable::SlotCount; ++slot)
        QCOMPARE(cycle.table().url(slot), std::optional<QString>(QString()));
    QVERIFY(!cycle.table().url(SensorTable::SlotCount));
    QCOMPARE(view.sensorNum, QString::number(n));
}

QTEST_GUILESS_MAIN(PollingCycleTest)
#include "pollingcycle_test.moc"
