// The viewer's window and chart in-process: every opening of a log is its
// own, and the chart follows its data down to nothing and back.
#include "accessibletree.h"
#include "linelegend.h"
#include "logchartview.h"
#include "logrecord.h"
#include "logviewwindow.h"

#include <QCheckBox>
#include <QFile>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QLegend>
#include <QLegendMarker>
#include <QTableWidget>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace kestrin;

namespace {

void writeLog(const QString &path, int records, int width, int firstSecond = 0)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    std::vector<float> readings(static_cast<std::size_t>(width), 0.0f);
    QByteArray out;
    for (int i = 0; i < records; ++i) {
        for (int s = 0; s < width; ++s)
            readings[std::size_t(s)] = 18.0f + float(s) + float(i % 32) / 16.0f;
        out += LogRecord::bytes(QDateTime(QDate(2026, 12, 8), QTime(0, 0)).addSecs(firstSecond + 8 * qint64(i)), readings,
                                QLocale::system());
        if (out.size() > (1 << 20)) {
            f.write(out);
            out.clear();
        }
    }
    f.write(out);
}

LogBatch batchOf(int records, int width, qint64 start)
{
    LogBatch b;
    b.readingsPerRecord = width;
    for (int i = 0; i < records; ++i) {
        b.times.push_back(start + 8 * i);
        b.offsets.push_back(0);
        for (int s = 0; s < width; ++s)
            b.values.push_back(20.0f + float(s) + float(i % 7));
    }
    return b;
}

} // namespace

class LogViewWindowTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void eachOpeningIsItsOwn_data();
    void eachOpeningIsItsOwn();
    void chartFollowsItsData();
    void siteNamesInLegendAndTable();
    void keyboardReachesEverything();
    void everyMenuCommandHasAnAccessKey();

private:
    QTemporaryDir m_dir;
};

void LogViewWindowTest::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    // Large enough that it is still being read when the next one opens.
    writeLog(m_dir.filePath(QStringLiteral("big.txt")), 400000, 11);
    writeLog(m_dir.filePath(QStringLiteral("small.txt")), 300, 4, 86400);
}

void LogViewWindowTest::eachOpeningIsItsOwn_data()
{
    QTest::addColumn<int>("waitForRecords"); // of the big log before the switch; 0: at once
    QTest::newRow("at once") << 0;
    QTest::newRow("after the first batch") << 1;
    QTest::newRow("half way") << 200000;
}

void LogViewWindowTest::eachOpeningIsItsOwn()
{
    QFETCH(int, waitForRecords);
    LogViewWindow window(QLocale::system());
    window.resize(1000, 700);
    window.show();
    window.openLog(m_dir.filePath(QStringLiteral("big.txt")));
    if (waitForRecords > 0)
        QTRY_VERIFY_WITH_TIMEOUT(window.series().size() >= waitForRecords, 30000);
    QSignalSpy shown(&window, &LogViewWindow::chartShown);
    window.openLog(m_dir.filePath(QStringLiteral("small.txt")));
    QVERIFY(shown.wait(10000));
    // Whatever the first reader had sent is gone, now and later.
    for (int check = 0; check < 2; ++check) {
        QCOMPARE(window.series().size(), qsizetype(300));
        QCOMPARE(window.series().sensors(), 4);
        QCOMPARE(window.chartView()->lineCount(), 4);
        QCOMPARE(window.series().times().front(), QDateTime(QDate(2026, 12, 9), QTime(0, 0)).toSecsSinceEpoch());
        window.resize(800 + 100 * check, 600);
        QTest::qWait(600);
    }
    QVERIFY(window.windowTitle().contains(u"small.txt"));
}

void LogViewWindowTest::chartFollowsItsData()
{
    LogSeries series;
    LogChartView chart(series, QLocale::system());
    chart.resize(900, 500);
    chart.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chart));
    const qint64 day = QDateTime(QDate(2026, 12, 8), QTime(0, 0), Qt::UTC).toSecsSinceEpoch();
    QVERIFY(series.append(batchOf(2000, 11, day)));
    chart.dataChanged(false);
    QCOMPARE(chart.lineCount(), 11);
    QCOMPARE(chart.viewFrom(), double(day) * 1000.0);

    // Cleared, as when the file was truncated: no line, no range, and the
    // window's resize, zoom and Home find nothing to draw.
    series.clear();
    chart.dataChanged(true);
    QCOMPARE(chart.lineCount(), 0);
    QVERIFY(chart.viewTo() <= chart.viewFrom());
    QVERIFY(chart.timeLabels().isEmpty());
    chart.resize(700, 400);
    QTest::qWait(50);
    chart.resetView();
    QWheelEvent wheel(QPointF(300, 200), chart.mapToGlobal(QPointF(300, 200)), {}, QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(chart.viewport(), &wheel);

    // A log of another width, elsewhere in time: its lines and its range.
    QVERIFY(series.append(batchOf(500, 4, day + 10 * 86400)));
    // Records as wide as another log's are refused, not half taken.
    QVERIFY(!series.append(batchOf(10, 11, day + 11 * 86400)));
    chart.dataChanged(true);
    QCOMPARE(chart.lineCount(), 4);
    QCOMPARE(chart.viewFrom(), double(day + 10 * 86400) * 1000.0);
    QCOMPARE(chart.viewTo(), double(day + 10 * 86400 + 8 * 499) * 1000.0);
    for (int s = 0; s < 4; ++s)
        QVERIFY(chart.pointsShown(s) > 0);
    QVERIFY(chart.valueAxis()->min() <= 20.0 && chart.valueAxis()->max() >= 29.0);
    QVERIFY(chart.valueAxis()->max() < 40.0);
}

void LogViewWindowTest::siteNamesInLegendAndTable()
{
    // Names for three of the four sensors: the fourth keeps its number.
    LogViewWindow window(QLocale::system());
    window.setSensorNames({u"1 Freezer 2"_qs, u"2 Cold room"_qs, QString(), u"4 Lab bench"_qs}, 4);
    window.show();
    QSignalSpy shown(&window, &LogViewWindow::chartShown);
    window.openLog(m_dir.filePath(QStringLiteral("small.txt")));
    QVERIFY(shown.wait(10000));
    LogChartView *chart = window.chartView();
    const QStringList expected{u"1 Freezer 2"_qs, u"2 Cold room"_qs, u"Sensor 3"_qs, u"4 Lab bench"_qs};
    QStringList legend, table;
    for (QLegendMarker *marker : chart->chart()->legend()->markers())
        legend << marker->label();
    QCOMPARE(legend, expected);
    auto *figures = window.findChild<QTableWidget *>();
    QVERIFY(figures);
    for (int row = 0; row < figures->rowCount(); ++row)
        table << figures->item(row, 0)->text();
    QCOMPARE(table, expected);
    QVERIFY(chart->hoverTextAt(chart->viewFrom()).contains(u"1 Freezer 2: "));
    // The legend beside the chart, which the keyboard reaches.
    auto *entries = window.findChild<LineLegend *>();
    QVERIFY(entries);
    QStringList boxes;
    for (int s = 0; s < entries->entries(); ++s)
        boxes << entries->entry(s)->text();
    QCOMPARE(boxes, expected);
}

// Tab goes chart, legend, table, notices; Space on an entry hides its line,
// and the chart shows it again from a click.
void LogViewWindowTest::keyboardReachesEverything()
{
    LogViewWindow window(QLocale::system());
    window.show();
    QSignalSpy shown(&window, &LogViewWindow::chartShown);
    window.openLog(m_dir.filePath(QStringLiteral("small.txt")));
    QVERIFY(shown.wait(10000));
    QVERIFY(QTest::qWaitForWindowActive(&window));
    const QStringList unnamed = testing::unnamedFocusable(&window);
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(u"; ")));

    LogChartView *chart = window.chartView();
    auto *legend = window.findChild<LineLegend *>();
    QCOMPARE(legend->entries(), 4);
    QList<QWidget *> order{chart};
    for (int s = 0; s < 4; ++s)
        order << legend->entry(s);
    order << window.findChild<QTableWidget *>() << window.findChild<QListWidget *>();
    chart->setFocus();
    for (qsizetype i = 1; i < order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), order[i]);
    }

    QCheckBox *second = legend->entry(1);
    second->setFocus();
    QTest::keyClick(second, Qt::Key_Space);
    QVERIFY(!chart->isLineShown(1));
    QCOMPARE(chart->pointsShown(1), 0);
    QVERIFY(chart->pointsShown(0) > 0);
    QVERIFY(chart->summary().contains(u"Hidden: Sensor 2."));
    chart->setLineShown(1, true);
    QVERIFY(second->isChecked());
    QVERIFY(chart->pointsShown(1) > 0);
}

// Open Recent's files included (a path with an "&" too), each menu's keys
// its own.
void LogViewWindowTest::everyMenuCommandHasAnAccessKey()
{
    const QString odd = m_dir.filePath(QStringLiteral("fridge & freezer.txt"));
    QVERIFY(QFile::copy(m_dir.filePath(QStringLiteral("small.txt")), odd));
    LogViewWindow window(QLocale::system());
    window.openLog(m_dir.filePath(QStringLiteral("small.txt")));
    window.openLog(odd);
    QStringList checked;
    QList<QMenu *> menus;
    for (QAction *action : window.menuBar()->actions())
        if (action->menu())
            menus << action->menu();
    for (qsizetype m = 0; m < menus.size(); ++m) {
        QSet<QChar> keys;
        for (QAction *action : menus[m]->actions()) {
            if (action->isSeparator())
                continue;
            if (action->menu())
                menus << action->menu();
            // "&&" is a plain "&"; the letter after a single "&" is the key.
            QString text = action->text();
            text.replace(QStringLiteral("&&"), QString());
            const qsizetype at = text.indexOf(u'&');
            QVERIFY2(at >= 0 && at + 1 < text.size(), qPrintable(u"no access key: "_qs + action->text()));
            const QChar key = text.at(at + 1).toLower();
            QVERIFY2(!keys.contains(key), qPrintable(u"two commands on %1 in %2"_qs.arg(key).arg(menus[m]->title())));
            keys.insert(key);
            checked << action->text();
        }
    }
    // The newest first.
    QVERIFY2(checked.contains(u"&1 "_qs + QString(odd).replace(u'&', QStringLiteral("&&"))), qPrintable(checked.join(u"; ")));
    QVERIFY(checked.contains(u"&Reset View"_qs));
}

QTEST_MAIN(LogViewWindowTest)
#include "logviewwindow_test.moc"
