#include "sensortable.h"

#include <QTest>
#include <QUrlQuery>
#include <QUrl>

using kestrin::SensorTable;

class SensorTableTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void urls_data();
    void urls();
    void unfilledAndOutOfRange();
    void readings();
};

void SensorTableTest::urls_data()
{
    QTest::addColumn<int>("slot");
    QTest::addColumn<QByteArray>("url");
    QTest::addColumn<QString>("decodedQuery");

    const QByteArray prefix = "http://gw.example:81/1Wire/ReadDS18B20.html?DS18B20Request=%7b";
    QTest::newRow("slot 0") << 0 << prefix + "9C000000B4A89828,12%7d" << QStringLiteral("{9C000000B4A89828,12}");
    QTest::newRow("slot 10") << 10 << prefix + "EE000000B4913B28,12%7d" << QStringLiteral("{EE000000B4913B28,12}");
    QTest::newRow("slot 11, stored") << 11 << prefix + "A1000000A4D34C28,12%7d" << QStringLiteral("{A1000000A4D34C28,12}");
    QTest::newRow("slot 12, stored") << 12 << prefix + "92000000A4F27928,12%7d" << QStringLiteral("{92000000A4F27928,12}");
}

void SensorTableTest::urls()
{
    QFETCH(int, slot);
    QFETCH(QByteArray, url);
    QFETCH(QString, decodedQuery);

    SensorTable table;
    table.fill(QStringLiteral("gw.example:81"));
    const auto got = table.url(static_cast<qint16>(slot));
    QVERIFY(got.has_value());
    QCOMPARE(got->toLatin1(), url);
    const QUrlQuery query(QUrl(*got).query(QUrl::FullyEncoded));
    QCOMPARE(query.queryItemValue(QStringLiteral("DS18B20Request"), QUrl::FullyDecoded), decodedQuery);
}

void SensorTableTest::unfilledAndOutOfRange()
{
    SensorTable table;
    table.fill(QStringLiteral("h"));
    QCOMPARE(table.url(13).value(), QString());
    QVERIFY(!table.url(14).has_value());
    QVERIFY(!table.url(-1).has_value());
    QVERIFY(!table.reading(14).has_value());
    QVERIFY(!table.setReading(-1, 1.0f));
}

void SensorTableTest::readings()
{
    SensorTable table;
    for (qint16 i = 0; i < SensorTable::SlotCount; ++i)
        QCOMPARE(table.reading(i).value(), 0.0f);
    QVERIFY(table.setReading(13, 21.5f));
    QCOMPARE(table.reading(13).value(), 21.5f);
}

QTEST_GUILESS_MAIN(SensorTableTest)
#include "sensortable_test.moc"
