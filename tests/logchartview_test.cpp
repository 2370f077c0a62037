// The chart from the keyboard and as a screen reader hears it: the cursor
// goes from record to record, + and - zoom around it, Shift and the arrows
// pan, Home resets; the chart tells its name with the readout under the
// cursor, and its summary whenever what it shows changes, once a change.
#include "logchartview.h"

#include <QAccessible>
#include <QTest>

#include <private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

#include <algorithm>
#include <cmath>

using namespace kestrin;

namespace {

struct Heard
{
    const QObject *watched = nullptr;
    int names = 0, descriptions = 0;
} heard;

void recordUpdate(QAccessibleEvent *event)
{
    if (event->object() != heard.watched)
        return;
    heard.names += event->type() == QAccessible::NameChanged;
    heard.descriptions += event->type() == QAccessible::DescriptionChanged;
}

constexpr qint64 Start = 1796000000;
constexpr qint64 Step = 8;
constexpr int Records = 2000;

LogBatch records(int count, qint64 from)
{
    LogBatch b;
    b.readingsPerRecord = 3;
    for (int i = 0; i < count; ++i) {
        b.times.push_back(from + Step * i);
        b.offsets.push_back(0);
        for (int s = 0; s < 3; ++s)
            b.values.push_back(float(20 + 5 * s + std::sin(i / 30.0 + s)));
    }
    return b;
}

using Keys = QList<QPair<int, int>>; // key, modifiers

} // namespace

class LogChartViewTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void keyboard_data();
    void keyboard();
    void summaryFollowsLinesAndRecords();

private:
    LogSeries m_series;
    std::unique_ptr<LogChartView> m_chart;
};

void LogChartViewTest::initTestCase()
{
    // As when a screen reader is running: the chart's events go out.
    QPlatformIntegration *platform = QGuiApplicationPrivate::platformIntegration();
    QVERIFY(platform && platform->accessibility());
    platform->accessibility()->setActive(true);
    QAccessible::installUpdateHandler(recordUpdate);
}

void LogChartViewTest::init()
{
    m_series.clear();
    QVERIFY(m_series.append(records(Records, Start)));
    m_chart = std::make_unique<LogChartView>(m_series, QLocale::system());
    m_chart->resize(900, 500);
    m_chart->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_chart.get()));
    m_chart->dataChanged(false);
    heard = {m_chart.get(), 0, 0};
}

void LogChartViewTest::keyboard_data()
{
    QTest::addColumn<Keys>("keys");
    QTest::addColumn<double>("width");   // of the view after, as a share of before
    QTest::addColumn<double>("shift");   // of its left edge, as a share of the width before
    // The cursor: nearest to the middle record's time and this many tenths
    // of the view before (NaN: no cursor), then this many records on.
    QTest::addColumn<double>("tenths");
    QTest::addColumn<int>("records");
    const double none = std::nan("");
    const int no = Qt::NoModifier;
    QTest::newRow("Right: the middle record") << Keys{{Qt::Key_Right, no}} << 1.0 << 0.0 << 0.0 << 0;
    QTest::newRow("Left: the middle record") << Keys{{Qt::Key_Left, no}} << 1.0 << 0.0 << 0.0 << 0;
    QTest::newRow("record by record") << Keys{{Qt::Key_Right, no}, {Qt::Key_Right, no}, {Qt::Key_Left, no},
                                              {Qt::Key_Right, no}, {Qt::Key_Right, no}}
                                      << 1.0 << 0.0 << 0.0 << 2;
    QTest::newRow("Ctrl+Right: a tenth on") << Keys{{Qt::Key_Right, no}, {Qt::Key_Right, Qt::ControlModifier}} << 1.0
                                            << 0.0 << 1.0 << 0;
    QTest::newRow("Left stops at the first record")
        << Keys{{Qt::Key_Right, no}, {Qt::Key_Left, Qt::ControlModifier}, {Qt::Key_Left, Qt::ControlModifier},
                {Qt::Key_Left, Qt::ControlModifier}, {Qt::Key_Left, Qt::ControlModifier},
                {Qt::Key_Left, Qt::ControlModifier}, {Qt::Key_Left, Qt::ControlModifier}, {Qt::Key_Left, no}}
        << 1.0 << 0.0 << -6.0 << 0;
    // Zoomed around the cursor, which stays where it was on the screen.
    QTest::newRow("+ around the cursor") << Keys{{Qt::Key_Right, no}, {Qt::Key_Right, Qt::ControlModifier},
                                                 {Qt::Key_Plus, Qt::ShiftModifier}}
                                         << 0.8 << 0.12 << 1.0 << 0;
    QTest::newRow("- around the cursor") << Keys{{Qt::Key_Right, no}, {Qt::Key_Right, Qt::ControlModifier},
                                                 {Qt::Key_Minus, no}}
                                         << 1.25 << -0.15 << 1.0 << 0;
    QTest::newRow("= zooms in too") << Keys{{Qt::Key_Equal, no}} << 0.8 << 0.1 << none << 0;
    QTest::newRow("Shift+Right pans") << Keys{{Qt::Key_Right, Qt::ShiftModifier}, {Qt::Key_Right, Qt::ShiftModifier}}
                                      << 1.0 << 0.2 << none << 0;
    QTest::newRow("Shift+Left pans, the cursor stays")
        << Keys{{Qt::Key_Right, no}, {Qt::Key_Left, Qt::ShiftModifier}} << 1.0 << -0.1 << 0.0 << 0;
    // Zoomed in, the cursor walks out at the right and takes the view
    // along: it stands at 95 % of the view.
    QTest::newRow("the view follows the cursor")
        << Keys{{Qt::Key_Plus, no}, {Qt::Key_Plus, no}, {Qt::Key_Plus, no}, {Qt::Key_Right, no},
                {Qt::Key_Right, Qt::ControlModifier}, {Qt::Key_Right, Qt::ControlModifier},
                {Qt::Key_Right, Qt::ControlModifier}, {Qt::Key_Right, Qt::ControlModifier},
                {Qt::Key_Right, Qt::ControlModifier}, {Qt::Key_Right, Qt::ControlModifier}}
        << 0.512 << 0.3206 << 3.072 << 0;
    QTest::newRow("Home shows it all") << Keys{{Qt::Key_Plus, no}, {Qt::Key_Right, Qt::ShiftModifier},
                                               {Qt::Key_Home, no}}
                                       << 1.0 << 0.0 << none << 0;
}

void LogChartViewTest::keyboard()
{
    QFETCH(Keys, keys);
    QFETCH(double, width);
    QFETCH(double, shift);
    QFETCH(double, tenths);
    QFETCH(int, records);
    LogChartView &chart = *m_chart;
    const double from = chart.viewFrom(), before = chart.viewTo() - from;
    QCOMPARE(from, double(Start) * 1000.0);
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(&chart);
    QCOMPARE(iface->role(), QAccessible::Chart);
    QCOMPARE(iface->childCount(), 0);
    QCOMPARE(iface->text(QAccessible::Name), u"Temperature chart"_qs);

    QString heardText;
    connect(&chart, &LogChartView::hovered, this, [&](const QString &text) { heardText = text; });
    int moves = 0, viewChanges = 0;
    for (const auto &[key, modifiers] : keys) {
        const int descriptions = heard.descriptions;
        const double wasFrom = chart.viewFrom(), wasTo = chart.viewTo();
        QTest::keyClick(&chart, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        const bool moved = chart.viewFrom() != wasFrom || chart.viewTo() != wasTo;
        viewChanges += moved;
        moves += (key == Qt::Key_Left || key == Qt::Key_Right) && !(modifiers & Qt::ShiftModifier);
        // One summary for a change of view, none without.
        QCOMPARE(heard.descriptions - descriptions, moved ? 1 : 0);
    }
    QCOMPARE(heard.names, moves);
    QVERIFY(viewChanges > 0 || heard.descriptions == 0);

    QVERIFY2(std::abs((chart.viewTo() - chart.viewFrom()) / before - width) < 1e-6,
             qPrintable(u"width %1"_qs.arg((chart.viewTo() - chart.viewFrom()) / before)));
    if (keys.last().first != Qt::Key_Home || width != 1.0) {
        QVERIFY2(std::abs((chart.viewFrom() - from) / before - shift) < 0.01,
                 qPrintable(u"shift %1"_qs.arg((chart.viewFrom() - from) / before)));
    } else {
        QCOMPARE(chart.viewFrom(), double(Start) * 1000.0);
        QCOMPARE(chart.viewTo(), double(Start + Step * (Records - 1)) * 1000.0);
    }
    if (std::isnan(tenths)) {
        if (moves == 0)
            QCOMPARE(chart.cursorRecord(), qsizetype(-1));
        return;
    }
    const qsizetype middle = m_series.nearest(qint64(std::llround((from + before / 2) / 1000.0)));
    const double target = double(m_series.times()[std::size_t(middle)]) * 1000.0 + tenths * before / 10;
    const qsizetype want = m_series.nearest(qint64(std::llround(target / 1000.0))) + records;
    // Each jump of a tenth lands on the record nearest to its end: within
    // half a record a jump.
    const int jumps = int(std::count_if(keys.begin(), keys.end(), [](const auto &k) { return k.second & Qt::ControlModifier; }));
    QVERIFY2(std::abs(chart.cursorRecord() - want) <= jumps,
             qPrintable(u"cursor at %1, not %2"_qs.arg(chart.cursorRecord()).arg(want)));
    const QString readout = chart.hoverTextAt(double(m_series.times()[std::size_t(chart.cursorRecord())]) * 1000.0);
    QCOMPARE(chart.cursorText(), readout);
    QCOMPARE(heardText, readout);
    QCOMPARE(iface->text(QAccessible::Name), u"Temperature chart: "_qs + readout);
}

void LogChartViewTest::summaryFollowsLinesAndRecords()
{
    LogChartView &chart = *m_chart;
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(&chart);
    const QString first = iface->text(QAccessible::Description);
    QVERIFY2(first.contains(u"Sensor 2: minimum"), qPrintable(first));

    chart.setLineShown(1, false);
    QCOMPARE(heard.descriptions, 1);
    const QString hidden = iface->text(QAccessible::Description);
    QVERIFY2(!hidden.contains(u"Sensor 2: minimum") && hidden.contains(u"Hidden: Sensor 2."), qPrintable(hidden));
    // Drawn again without a change: nothing new to tell.
    chart.resize(800, 450);
    QTest::qWait(50);
    QCOMPARE(heard.descriptions, 1);

    // New records at the right edge widen the view: a new range to tell.
    QVERIFY(m_series.append(records(10, Start + Step * Records)));
    chart.dataChanged(true);
    QCOMPARE(heard.descriptions, 2);
    QVERIFY(iface->text(QAccessible::Description) != hidden);
    chart.setLineShown(1, true);
    QCOMPARE(heard.descriptions, 3);
    QVERIFY(iface->text(QAccessible::Description).contains(u"Sensor 2: minimum"));
}

QTEST_MAIN(LogChartViewTest)
#include "logchartview_test.moc"
