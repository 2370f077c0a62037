// The chart's summary as a screen reader speaks it, under the locale and
// zone of the process (CTest runs it under several): the view's ends in
// local wall time, the records in the view, and each shown sensor's
// minimum and maximum there, checked against a plain scan of the records.
#include "chartsummary.h"
#include "localeformats.h"
#include "numberformat.h"

#include <QDateTime>
#include <QTest>

#include <algorithm>
#include <cmath>

using namespace kestrin;

namespace {

constexpr int Sensors = 3;
constexpr qint64 Step = 8;

// Record i of sensor s; one spike up and one down in the middle of a block.
float valueAt(qsizetype i, int s)
{
    if (i == 3001)
        return s == 1 ? -40.25f : 85.0f;
    return float(std::round((20.0 + 4 * s + 3 * std::sin(double(i) * 0.01 * (s + 1))) * 16) / 16);
}

LogSeries makeSeries(qint64 start, qsizetype records)
{
    LogBatch batch;
    batch.readingsPerRecord = Sensors;
    for (qsizetype i = 0; i < records; ++i) {
        batch.times.push_back(start + Step * i);
        batch.offsets.push_back(0);
        for (int s = 0; s < Sensors; ++s)
            batch.values.push_back(valueAt(i, s));
    }
    LogSeries series;
    series.append(batch);
    return series;
}

qint64 localMsecs(const QDateTime &wall)
{
    return wall.toMSecsSinceEpoch();
}

} // namespace

class ChartSummaryTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void describesTheView_data();
    void describesTheView();
    void nothingToShow();
};

void ChartSummaryTest::describesTheView_data()
{
    QTest::addColumn<QDateTime>("from"); // local wall time
    QTest::addColumn<QDateTime>("to");
    QTest::addColumn<QList<bool>>("shown");
    QTest::addColumn<QStringList>("names");

    const QDateTime start(QDate(2026, 12, 8), QTime(10, 0));
    const QList<bool> all{true, true, true};
    QTest::newRow("the whole log") << start << start.addSecs(Step * 5999) << all << QStringList();
    // Ends between two records: only those inside count.
    QTest::newRow("ends between records") << start.addSecs(3) << start.addSecs(Step * 100 + 5) << all << QStringList();
    QTest::newRow("around the spikes") << start.addSecs(Step * 2990) << start.addSecs(Step * 3010) << all << QStringList();
    QTest::newRow("next to the spikes") << start.addSecs(Step * 3002) << start.addSecs(Step * 4500) << all << QStringList();
    QTest::newRow("one record") << start.addSecs(Step * 77 - 1) << start.addSecs(Step * 77 + 1) << all << QStringList();
    QTest::newRow("between two records") << start.addSecs(Step * 77 + 1) << start.addSecs(Step * 77 + 6) << all
                                         << QStringList();
    // New York and Lord Howe change their clocks in between.
    QTest::newRow("from before a change of summer time")
        << QDateTime(QDate(2026, 10, 1), QTime(1, 30)) << start.addSecs(Step * 100) << all << QStringList();
    QTest::newRow("before the log") << start.addDays(-2) << start.addDays(-1) << all << QStringList();
    QTest::newRow("a line hidden") << start << start.addSecs(Step * 5999) << QList<bool>{true, false, true}
                                   << QStringList();
    QTest::newRow("all hidden") << start << start.addSecs(Step * 200) << QList<bool>{false, false, false}
                                << QStringList();
    QTest::newRow("site names, one missing")
        << start << start.addSecs(Step * 5999) << all << QStringList{u"1 Freezer 2"_qs, QString(), u"3 Cold room #3"_qs};
}

void ChartSummaryTest::describesTheView()
{
    QFETCH(QDateTime, from);
    QFETCH(QDateTime, to);
    QFETCH(QList<bool>, shown);
    QFETCH(QStringList, names);
    const QLocale locale;
    const qint64 start = QDateTime(QDate(2026, 12, 8), QTime(10, 0)).toSecsSinceEpoch();
    const LogSeries series = makeSeries(start, 6000);

    ChartSummary::View view;
    view.logName = u"freezer-room.txt"_qs;
    view.fromMsecs = double(localMsecs(from));
    view.toMsecs = double(localMsecs(to));
    view.names = names;
    view.shown.assign(shown.begin(), shown.end());
    const QString text = ChartSummary::describe(series, view, locale);

    QVERIFY2(text.startsWith(u"freezer-room.txt, "), qPrintable(text));
    // The ends as the clock on the wall showed them.
    const QString format = LocaleFormats::shortDateFourDigitYear(locale) + u' ' + LocaleFormats::timeWithSeconds(locale);
    for (const QDateTime &end : {from, to}) {
        const QString wall = locale.toString(QDateTime(end.date(), end.time()), format);
        QVERIFY2(text.contains(wall), qPrintable(wall + u" not in: " + text));
    }

    // The records a plain scan finds in the view.
    qsizetype first = -1, last = -2;
    for (qsizetype i = 0; i < series.size(); ++i) {
        const double at = double(series.times()[std::size_t(i)]) * 1000.0;
        if (at >= view.fromMsecs && at <= view.toMsecs) {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    const qsizetype inView = first < 0 ? 0 : last - first + 1;
    const QString count = inView == 1 ? u", 1 record."_qs : u", %1 records."_qs.arg(locale.toString(qlonglong(inView)));
    QVERIFY2(text.contains(count), qPrintable(count + u" not in: " + text));

    QStringList hidden;
    for (int s = 0; s < Sensors; ++s) {
        const QString name = names.value(s).isEmpty() ? u"Sensor %1"_qs.arg(s + 1) : names.value(s);
        const QString said = name + u": minimum";
        if (!shown[s]) {
            hidden << name;
            QVERIFY2(!text.contains(said), qPrintable(text));
            continue;
        }
        if (inView == 0) {
            QVERIFY2(!text.contains(said), qPrintable(text));
            continue;
        }
        float lo = valueAt(first, s), hi = lo;
        for (qsizetype i = first; i <= last; ++i) {
            lo = std::min(lo, valueAt(i, s));
            hi = std::max(hi, valueAt(i, s));
        }
        const QString figures = u"%1 %2 °C, maximum %3 °C."_qs.arg(said, NumberFormat::displayText(lo, locale),
                                                                   NumberFormat::displayText(hi, locale));
        QVERIFY2(text.contains(figures), qPrintable(figures + u" not in: " + text));
    }
    QCOMPARE(text.contains(u"Hidden: " + hidden.join(u", ") + u'.'), !hidden.isEmpty());
}

void ChartSummaryTest::nothingToShow()
{
    ChartSummary::View view;
    view.logName = u"empty.txt"_qs;
    view.fromMsecs = 0;
    view.toMsecs = 60000;
    QCOMPARE(ChartSummary::describe(LogSeries(), view, QLocale()), u"empty.txt: no records."_qs);
}

QTEST_APPLESS_MAIN(ChartSummaryTest)
#include "chartsummary_test.moc"
