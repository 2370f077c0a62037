// Chart ticks on round values: temperatures by 1-2-5 steps, times on whole
// units of the local clock in zones with odd offsets and changes, labelled
// with only what changes.
#include "axisticks.h"
#include "localeformats.h"

#include <QDateTime>
#include <QTest>

using namespace kestrin;

class AxisTicksTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void values_data();
    void values();
    void times_data();
    void times();
    void monthAndDay_data();
    void monthAndDay();
};

void AxisTicksTest::values_data()
{
    QTest::addColumn<double>("lo");
    QTest::addColumn<double>("hi");
    QTest::addColumn<int>("maxTicks");
    QTest::addColumn<double>("from");
    QTest::addColumn<double>("to");
    QTest::addColumn<double>("step");
    // What the viewer showed before: 17.0, 18.8, 20.5, 22.3.
    QTest::newRow("room temperatures") << 16.95 << 22.35 << 7 << 16.0 << 23.0 << 1.0;
    QTest::newRow("room temperatures, less room") << 16.95 << 22.35 << 6 << 16.0 << 24.0 << 2.0;
    QTest::newRow("a freezer") << -31.2 << -14.9 << 9 << -32.0 << -14.0 << 2.0;
    QTest::newRow("a narrow band") << 21.3 << 22.2 << 5 << 21.2 << 22.2 << 0.2;
    QTest::newRow("half degrees") << 4.1 << 6.4 << 6 << 4.0 << 6.5 << 0.5;
    QTest::newRow("the sensor's whole range") << -55.0 << 125.0 << 10 << -60.0 << 140.0 << 20.0;
    QTest::newRow("with a power-on 85") << 18.0 << 85.0 << 9 << 10.0 << 90.0 << 10.0;
    QTest::newRow("flat") << 20.0 << 20.0 << 5 << 19.5 << 20.5 << 0.5;
}

void AxisTicksTest::values()
{
    QFETCH(double, lo);
    QFETCH(double, hi);
    QFETCH(int, maxTicks);
    QFETCH(double, from);
    QFETCH(double, to);
    QFETCH(double, step);
    const AxisTicks::ValueScale s = AxisTicks::values(lo, hi, maxTicks);
    QCOMPARE(s.step, step);
    QVERIFY(qAbs(s.from - from) < 1e-9);
    QVERIFY(qAbs(s.to - to) < 1e-9);
    QVERIFY(s.from <= lo && s.to >= hi);
}

void AxisTicksTest::times_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QDateTime>("from"); // UTC
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<int>("maxTicks");
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<QStringList>("utc"); // where each tick is, HH:mm UTC or a date
    const QDateTime dec8 = QDateTime(QDate(2026, 12, 8), QTime(11, 47, 13), Qt::UTC);
    QTest::newRow("Berlin, half an hour from 12:47:13")
        << QByteArray("Europe/Berlin") << "de_DE" << dec8 << qint64(1800) << 7
        << QStringList{u"12:50"_qs, u"12:55"_qs, u"13:00"_qs, u"13:05"_qs, u"13:10"_qs, u"13:15"_qs}
        << QStringList{u"11:50"_qs, u"11:55"_qs, u"12:00"_qs, u"12:05"_qs, u"12:10"_qs, u"12:15"_qs};
    QTest::newRow("New York, the 12-hour clock")
        << QByteArray("America/New_York") << "en_US" << dec8 << qint64(3 * 3600) << 4
        << QStringList{u"7:00 AM"_qs, u"8:00 AM"_qs, u"9:00 AM"_qs}
        << QStringList{u"12:00"_qs, u"13:00"_qs, u"14:00"_qs};
    // Whole local hours are half hours of UTC.
    QTest::newRow("Kolkata, +05:30")
        << QByteArray("Asia/Kolkata") << "en_GB" << dec8 << qint64(3 * 3600) << 7
        << QStringList{u"17:30"_qs, u"18:00"_qs, u"18:30"_qs, u"19:00"_qs, u"19:30"_qs, u"20:00"_qs}
        << QStringList{u"12:00"_qs, u"12:30"_qs, u"13:00"_qs, u"13:30"_qs, u"14:00"_qs, u"14:30"_qs};
    QTest::newRow("Chatham, +13:45")
        << QByteArray("Pacific/Chatham") << "en_GB" << dec8 << qint64(3600) << 4
        << QStringList{u"01:45"_qs, u"02:00"_qs, u"02:15"_qs, u"02:30"_qs}
        << QStringList{u"12:00"_qs, u"12:15"_qs, u"12:30"_qs, u"12:45"_qs};
    // Days at local midnight, 25 hours apart across the autumn change; the
    // date where the day starts.
    QTest::newRow("New York, days across November 1")
        << QByteArray("America/New_York") << "en_US" << QDateTime(QDate(2026, 10, 30), QTime(12, 0), Qt::UTC)
        << qint64(4 * 86400) << 5 << QStringList{u"Oct 31"_qs, u"Nov 1"_qs, u"Nov 2"_qs, u"Nov 3"_qs}
        << QStringList{u"10-31 04:00"_qs, u"11-01 04:00"_qs, u"11-02 05:00"_qs, u"11-03 05:00"_qs};
    // Lord Howe goes back half an hour at 02:00 on 5 April: whole local
    // hours move by half an hour against UTC.
    QTest::newRow("Lord Howe, the autumn change")
        << QByteArray("Australia/Lord_Howe") << "en_GB" << QDateTime(QDate(2026, 4, 4), QTime(12, 30), Qt::UTC)
        << qint64(4 * 3600) << 5
        << QStringList{u"5 Apr"_qs, u"01:00"_qs, u"02:00"_qs, u"03:00"_qs}
        << QStringList{u"13:00"_qs, u"14:00"_qs, u"15:30"_qs, u"16:30"_qs};
    QTest::newRow("Sydney, a day in 6-hour steps")
        << QByteArray("Australia/Sydney") << "en_AU" << QDateTime(QDate(2026, 12, 7), QTime(12, 0), Qt::UTC)
        << qint64(86400) << 4
        << QStringList{u"8 Dec"_qs, u"6:00 AM"_qs, u"12:00 PM"_qs, u"6:00 PM"_qs}
        << QStringList{u"13:00"_qs, u"19:00"_qs, u"01:00"_qs, u"07:00"_qs};
    QTest::newRow("a year in months")
        << QByteArray("Europe/Berlin") << "en_US" << QDateTime(QDate(2026, 1, 5), QTime(8, 0), Qt::UTC)
        << qint64(360 * 86400) << 5
        << QStringList{u"Apr 2026"_qs, u"Jul 2026"_qs, u"Oct 2026"_qs}
        << QStringList{u"03-31 22:00"_qs, u"06-30 22:00"_qs, u"09-30 22:00"_qs};
}

void AxisTicksTest::times()
{
    QFETCH(QByteArray, zone);
    QFETCH(QString, locale);
    QFETCH(QDateTime, from);
    QFETCH(qint64, seconds);
    QFETCH(int, maxTicks);
    QFETCH(QStringList, labels);
    QFETCH(QStringList, utc);
    const QTimeZone tz(zone);
    QVERIFY(tz.isValid());
    const double start = double(from.toMSecsSinceEpoch());
    const AxisTicks::TimeScale s = AxisTicks::times(start, start + double(seconds) * 1000.0, maxTicks, QLocale(locale), tz);
    QStringList gotLabels, gotUtc;
    for (const AxisTicks::TimeTick &t : s.ticks) {
        gotLabels << t.label;
        const QDateTime at = QDateTime::fromMSecsSinceEpoch(qint64(t.msecs), Qt::UTC);
        gotUtc << at.toString(utc.first().size() > 5 ? QStringLiteral("MM-dd HH:mm") : QStringLiteral("HH:mm"));
    }
    QCOMPARE(gotLabels, labels);
    QCOMPARE(gotUtc, utc);
    QVERIFY(!s.title.isEmpty());
}

void AxisTicksTest::monthAndDay_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("shown"); // 8 December 2026
    QTest::newRow("en_US") << "en_US" << "Dec 8";
    QTest::newRow("en_GB") << "en_GB" << "8 Dec";
    QTest::newRow("de_DE") << "de_DE" << "8. Dez.";
    QTest::newRow("fr_FR") << "fr_FR" << "8 déc.";
    QTest::newRow("ja_JP") << "ja_JP" << "12月8日";
    QTest::newRow("ko_KR") << "ko_KR" << "12월 8일";
    QTest::newRow("ru_RU") << "ru_RU" << "8 дек.";
    QTest::newRow("es_MX") << "es_MX" << "8 de dic";
}

void AxisTicksTest::monthAndDay()
{
    QFETCH(QString, locale);
    QFETCH(QString, shown);
    const QLocale l(locale);
    QCOMPARE(l.toString(QDate(2026, 12, 8), LocaleFormats::monthAndDay(l)), shown);
}

QTEST_GUILESS_MAIN(AxisTicksTest)
#include "axisticks_test.moc"
