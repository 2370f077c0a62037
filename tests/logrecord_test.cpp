#include "logrecord.h"

#include <QTest>

#include <vector>

using kestrin::LogRecord;

class LogRecordTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void timeStamp_data();
    void timeStamp();
    void record_data();
    void record();
    void separatorsOnZoneBoundaries();
};

void LogRecordTest::timeStamp_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QString>("expected");

    const QDateTime morning(QDate(2026, 12, 7), QTime(10, 45, 41));
    const QDateTime midnight(QDate(2026, 12, 8), QTime(0, 0, 0));
    const QDateTime evening(QDate(2026, 1, 2), QTime(21, 5, 9));
    QTest::newRow("us") << QStringLiteral("en_US") << morning << QStringLiteral("12/7/2026 10:45:41 AM");
    QTest::newRow("us midnight keeps its time") << QStringLiteral("en_US") << midnight
                                                << QStringLiteral("12/8/2026 12:00:00 AM");
    QTest::newRow("us evening") << QStringLiteral("en_US") << evening << QStringLiteral("1/2/2026 9:05:09 PM");
    QTest::newRow("de") << QStringLiteral("de_DE") << morning << QStringLiteral("07.12.2026 10:45:41");
    QTest::newRow("de midnight") << QStringLiteral("de_DE") << midnight << QStringLiteral("08.12.2026 00:00:00");
    QTest::newRow("gb") << QStringLiteral("en_GB") << evening << QStringLiteral("02/01/2026 21:05:09");
    QTest::newRow("fr") << QStringLiteral("fr_FR") << evening << QStringLiteral("02/01/2026 21:05:09");
    QTest::newRow("C") << QStringLiteral("C") << evening << QStringLiteral("2 Jan 2026 21:05:09");
    QTest::newRow("ja") << QStringLiteral("ja_JP") << evening << QStringLiteral("2026/01/02 21\u664205\u520609\u79D2");
    // The locale's order and AM/PM text, ASCII digits, no direction marks.
    QTest::newRow("ar_EG") << QStringLiteral("ar_EG") << evening << QStringLiteral("2/1/2026 9:05:09 \u0645");
    QTest::newRow("fa_IR") << QStringLiteral("fa_IR") << evening << QStringLiteral("2026/1/2 21:05:09");
    QTest::newRow("bn_BD") << QStringLiteral("bn_BD") << morning << QStringLiteral("7/12/2026 10:45:41 AM");
}

void LogRecordTest::timeStamp()
{
    QFETCH(QString, locale);
    QFETCH(QDateTime, when);
    QFETCH(QString, expected);
    QCOMPARE(LogRecord::timeStamp(when, QLocale(locale)), expected);
}

void LogRecordTest::record_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QList<float>>("readings");
    QTest::addColumn<QByteArray>("expected");

    // "12/7/2026 10:45:41 AM, " is 23 characters, so the first " , " after a
    // reading falls at column 42 (or 28 for a short one); German stamps are 21.
    QTest::newRow("us two readings") << QStringLiteral("en_US") << QList<float>{21.5f, 22.0625f}
                                     << QByteArray("12/7/2026 10:45:41 AM,  21.5               ,  22.0625 \r\n");
    QTest::newRow("us zero negative below one")
        << QStringLiteral("en_US") << QList<float>{0.0f, -0.25f, 0.5f}
        << QByteArray("12/7/2026 10:45:41 AM,  0    , -.25        ,  .5 \r\n");
    QTest::newRow("us single reading") << QStringLiteral("en_US") << QList<float>{19.0f}
                                       << QByteArray("12/7/2026 10:45:41 AM,  19 \r\n");
    QTest::newRow("us seven digits") << QStringLiteral("en_US") << QList<float>{1234.567f, -1234.567f}
                                     << QByteArray("12/7/2026 10:45:41 AM,  1234.567           , -1234.567 \r\n");
    QTest::newRow("de comma separator") << QStringLiteral("de_DE") << QList<float>{21.5f, -0.25f}
                                        << QByteArray("07.12.2026 10:45:41,  21,5   , -,25 \r\n");
    QTest::newRow("gb") << QStringLiteral("en_GB") << QList<float>{85.0f, 20.0625f}
                        << QByteArray("07/12/2026 10:45:41,  85     ,  20.0625 \r\n");
    QTest::newRow("fr") << QStringLiteral("fr_FR") << QList<float>{0.5f, -55.5f}
                        << QByteArray("07/12/2026 10:45:41,  ,5     , -55,5 \r\n");
    QTest::newRow("ar_EG") << QStringLiteral("ar_EG") << QList<float>{-0.25f, 21.5f}
                           << QByteArray("7/12/2026 10:45:41 \xd8\xb5, -.25   ,  21.5 \r\n");
}

void LogRecordTest::record()
{
    QFETCH(QString, locale);
    QFETCH(QList<float>, readings);
    QFETCH(QByteArray, expected);
    const QDateTime when(QDate(2026, 12, 7), QTime(10, 45, 41));
    const std::vector<float> values(readings.begin(), readings.end());
    QCOMPARE(LogRecord::bytes(when, values, QLocale(locale)), expected);
}

void LogRecordTest::separatorsOnZoneBoundaries()
{
    const QDateTime when(QDate(2026, 12, 7), QTime(10, 45, 41));
    std::vector<float> values;
    for (int i = 0; i < 11; ++i)
        values.push_back(20.0f + 0.0625f * float(i) * (i % 2 ? -1.0f : 1.0f));
    const QString line = LogRecord::text(when, values, QLocale(QStringLiteral("en_US")));
    QVERIFY(line.endsWith(QStringLiteral("\r\n")));
    QCOMPARE(line.count(QStringLiteral(" , ")), 10);
    qsizetype from = 0;
    for (int k = 0; k < 10; ++k) {
        const qsizetype at = line.indexOf(QStringLiteral(" , "), from);
        QCOMPARE(at % LogRecord::PrintZoneWidth, 0);
        from = at + 3;
    }
    QVERIFY(line.endsWith(QStringLiteral(" 20.625 \r\n")));
}

QTEST_GUILESS_MAIN(LogRecordTest)
#include "logrecord_test.moc"
