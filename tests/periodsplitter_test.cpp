// Days, weeks and months of a report: where each starts and ends, by the
// rules of the zone and the first day of the locale's week.
#include "periodsplitter.h"

#include <QTest>

using namespace kestrin;
using namespace Qt::Literals::StringLiterals;

namespace {

qint64 utc(const char *iso)
{
    return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate).toSecsSinceEpoch();
}

} // namespace

class PeriodSplitterTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void periods_data();
    void periods();
    void startOfDay_data();
    void startOfDay();
    void kindFromName();
};

void PeriodSplitterTest::periods_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<QStringList>("expected"); // "first/last" per period

    const QDate wed(2026, 12, 2), sun(2026, 12, 20);
    QTest::newRow("weeks from Sunday: en_US") << u"en_US"_s << int(PeriodKind::Week) << wed << sun
                                              << QStringList{u"2026-12-02/2026-12-05"_s, u"2026-12-06/2026-12-12"_s,
                                                             u"2026-12-13/2026-12-19"_s, u"2026-12-20/2026-12-20"_s};
    QTest::newRow("weeks from Monday: de_DE") << u"de_DE"_s << int(PeriodKind::Week) << wed << sun
                                              << QStringList{u"2026-12-02/2026-12-06"_s, u"2026-12-07/2026-12-13"_s,
                                                             u"2026-12-14/2026-12-20"_s};
    QTest::newRow("weeks from Saturday: ar_EG") << u"ar_EG"_s << int(PeriodKind::Week) << wed << sun
                                                << QStringList{u"2026-12-02/2026-12-04"_s, u"2026-12-05/2026-12-11"_s,
                                                               u"2026-12-12/2026-12-18"_s, u"2026-12-19/2026-12-20"_s};
    QTest::newRow("months, February of a common year") << u"de_DE"_s << int(PeriodKind::Month) << QDate(2026, 1, 15)
                                                        << QDate(2026, 3, 10)
                                                        << QStringList{u"2026-01-15/2026-01-31"_s, u"2026-02-01/2026-02-28"_s,
                                                                       u"2026-03-01/2026-03-10"_s};
    QTest::newRow("a year's end") << u"en_US"_s << int(PeriodKind::Day) << QDate(2026, 12, 31) << QDate(2027, 1, 1)
                                  << QStringList{u"2026-12-31/2026-12-31"_s, u"2027-01-01/2027-01-01"_s};
    QTest::newRow("one day, as a month") << u"en_US"_s << int(PeriodKind::Month) << wed << wed
                                         << QStringList{u"2026-12-02/2026-12-02"_s};
    QTest::newRow("from after to: none") << u"en_US"_s << int(PeriodKind::Day) << sun << wed << QStringList{};
}

void PeriodSplitterTest::periods()
{
    QFETCH(QString, locale);
    QFETCH(int, kind);
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(QStringList, expected);
    const QTimeZone zone("Asia/Kolkata");
    const PeriodSplitter splitter(zone, QLocale(locale).firstDayOfWeek());
    QStringList got;
    const QList<Period> periods = splitter.split(PeriodKind(kind), from, to);
    for (const Period &p : periods) {
        got << p.first.toString(Qt::ISODate) + u'/' + p.last.toString(Qt::ISODate);
        // Each runs from its first local midnight to the one after its last day.
        QCOMPARE(p.startUtc, QDateTime(p.first, QTime(0, 0), zone).toSecsSinceEpoch());
        QCOMPARE(p.endUtc, QDateTime(p.last.addDays(1), QTime(0, 0), zone).toSecsSinceEpoch());
    }
    QCOMPARE(got, expected);
}

void PeriodSplitterTest::startOfDay_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<qint64>("start");
    QTest::addColumn<qint64>("length"); // seconds

    QTest::newRow("New York, spring: 23 hours") << QByteArray("America/New_York") << QDate(2026, 3, 8)
                                                << utc("2026-03-08T05:00:00Z") << qint64(23 * 3600);
    QTest::newRow("New York, autumn: 25 hours") << QByteArray("America/New_York") << QDate(2026, 11, 1)
                                                << utc("2026-11-01T04:00:00Z") << qint64(25 * 3600);
    QTest::newRow("Lord Howe, autumn: 24.5 hours") << QByteArray("Australia/Lord_Howe") << QDate(2026, 4, 5)
                                                   << utc("2026-04-04T13:00:00Z") << qint64(24 * 3600 + 1800);
    QTest::newRow("Chatham, +13:45") << QByteArray("Pacific/Chatham") << QDate(2026, 1, 15) << utc("2026-01-14T10:15:00Z")
                                     << qint64(24 * 3600);
    // Chile moves its clocks at midnight: in September midnight is skipped
    // and the day starts at 01:00; in April the hour before it repeats.
    QTest::newRow("Santiago: midnight skipped") << QByteArray("America/Santiago") << QDate(2026, 9, 6)
                                                << utc("2026-09-06T04:00:00Z") << qint64(23 * 3600);
    QTest::newRow("Santiago: the hour before midnight repeats") << QByteArray("America/Santiago") << QDate(2026, 4, 4)
                                                                << utc("2026-04-04T03:00:00Z") << qint64(25 * 3600);
}

void PeriodSplitterTest::startOfDay()
{
    QFETCH(QByteArray, zone);
    QFETCH(QDate, date);
    QFETCH(qint64, start);
    QFETCH(qint64, length);
    const PeriodSplitter splitter{QTimeZone(zone), Qt::Monday};
    QCOMPARE(splitter.startOfDay(date), start);
    QCOMPARE(splitter.localDate(start), date);
    QCOMPARE(splitter.localDate(start - 1), date.addDays(-1));
    QCOMPARE(splitter.startOfDay(date.addDays(1)) - start, length);
}

void PeriodSplitterTest::kindFromName()
{
    QCOMPARE(PeriodSplitter::kindFromName(u"day"), PeriodKind::Day);
    QCOMPARE(PeriodSplitter::kindFromName(u"week"), PeriodKind::Week);
    QCOMPARE(PeriodSplitter::kindFromName(u"month"), PeriodKind::Month);
    QVERIFY(!PeriodSplitter::kindFromName(u"Day"));
    QVERIFY(!PeriodSplitter::kindFromName(u"year"));
}

QTEST_GUILESS_MAIN(PeriodSplitterTest)
#include "periodsplitter_test.moc"
