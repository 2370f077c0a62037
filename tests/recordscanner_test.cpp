// The byte-level scanner must read every line exactly as the slow parser
// does, or leave it to it: never a different value, never a different time.
// Run under every test locale (CTest sets LANG / LC_ALL).
#include "localclock.h"
#include "loglineparser.h"
#include "logrecord.h"
#include "recordscanner.h"

#include <QTest>

#include <bit>
#include <cmath>
#include <random>

using namespace kestrin;

namespace {

struct Both
{
    int fastCount = -1;
    bool slowOk = false;
    qint64 fastWall = 0, slowWall = 0;
    std::vector<float> fast, slow;
};

Both readBoth(const QByteArray &bytes)
{
    QByteArray line = bytes;
    if (line.endsWith("\r\n"))
        line.chop(2);
    Both b;
    const QLocale locale = QLocale::system();
    static const RecordScanner scanner(locale);
    static const LogLineParser parser(locale);
    b.fast.resize(LogLineParser::MaxReadings);
    b.fastCount = scanner.scan(line.constData(), line.constData() + line.size(), b.fastWall, b.fast.data(),
                               LogLineParser::MaxReadings);
    b.fast.resize(std::size_t(std::max(0, b.fastCount)));
    LogLineParser::Record record;
    QString reason;
    b.slowOk = parser.parse(QString::fromLocal8Bit(line), record, b.slow, reason);
    b.slowWall = record.wall;
    return b;
}

QByteArray recordOf(const QDateTime &when, const std::vector<float> &values)
{
    return LogRecord::bytes(when, values, QLocale::system());
}

} // namespace

class RecordScannerTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void scannerOnTheLoggersRecords();
    void sameAsTheSlowParser_data();
    void sameAsTheSlowParser();
};

void RecordScannerTest::scannerOnTheLoggersRecords()
{
    // Records as the logger writes them are all read the fast way, and the
    // values are bit for bit the slow parser's, over a spread of magnitudes.
    std::mt19937 random(7);
    std::uniform_real_distribution<double> exponent(-6.0, 9.0);
    std::uniform_int_distribution<int> second(0, 86399);
    int fast = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<float> values(11);
        for (float &v : values) {
            const double magnitude = std::pow(10.0, exponent(random));
            v = float((random() % 2 ? -1.0 : 1.0) * magnitude);
            if (round % 3 == 0)
                v = float(std::round(v * 16.0) / 16.0); // DS18B20 steps
        }
        const QDateTime when = QDateTime(QDate(2026, 1 + round % 12, 1 + round % 28), QTime(0, 0)).addSecs(second(random));
        const Both b = readBoth(recordOf(when, values));
        QVERIFY(b.slowOk);
        if (b.fastCount < 0)
            continue;
        ++fast;
        QCOMPARE(b.fastWall, b.slowWall);
        QCOMPARE(b.fast.size(), b.slow.size());
        for (std::size_t i = 0; i < b.fast.size(); ++i)
            QCOMPARE(std::bit_cast<quint32>(b.fast[i]), std::bit_cast<quint32>(b.slow[i]));
    }
    // Only forms the byte reader does not know (other digits) may go slow.
    if (QLocale::system().zeroDigit() == QLatin1String("0"))
        QCOMPARE(fast, 3000);
}

void RecordScannerTest::sameAsTheSlowParser_data()
{
    QTest::addColumn<QByteArray>("line");
    const QDateTime when(QDate(2026, 12, 8), QTime(10, 45, 41));
    const QByteArray good = recordOf(when, {21.5f, -0.25f, 0.0f});
    const qsizetype firstReading = good.indexOf(", ") + 2;
    auto edit = [&](qsizetype at, qsizetype length, const QByteArray &with) {
        QByteArray b = good;
        return b.replace(at, length, with);
    };
    QTest::newRow("as written") << good;
    QTest::newRow("no zone padding") << QByteArray(good).replace(QByteArray("      "), QByteArray());
    QTest::newRow("an exponent") << edit(firstReading, 5, " 1.5E+10 ");
    QTest::newRow("a small exponent") << edit(firstReading, 5, "-2.5e-07 ");
    QTest::newRow("eight digits") << edit(firstReading, 5, " 16777217 ");
    QTest::newRow("twenty digits") << edit(firstReading, 5, " 12345678901234567890 ");
    QTest::newRow("many decimals") << edit(firstReading, 5, " .000000000001 ");
    QTest::newRow("a dot where the locale has a comma") << edit(firstReading, 5, " 21.5 ");
    QTest::newRow("a comma") << edit(firstReading, 5, " 21,5 ");
    QTest::newRow("separator without decimals") << edit(firstReading, 5, " 21. ");
    QTest::newRow("two separators") << edit(firstReading, 5, " 2.1.5 ");
    QTest::newRow("a sign alone") << edit(firstReading, 5, "- ");
    QTest::newRow("a plus") << edit(firstReading, 5, "+21.5 ");
    QTest::newRow("no space after") << edit(firstReading, 5, " 21.5");
    QTest::newRow("a letter") << edit(firstReading, 5, " 21x5 ");
    QTest::newRow("negative zero") << edit(firstReading, 5, "-0 ");
    QTest::newRow("stamp cut") << good.mid(3);
    QTest::newRow("trailing comma") << good.left(good.size() - 2) + ",";
    QTest::newRow("no readings") << good.left(firstReading);
    QTest::newRow("lower-case am/pm") << QByteArray(good).replace(QByteArray(" AM"), QByteArray(" am"));
    QTest::newRow("February 30th") << QByteArray(recordOf(QDateTime(QDate(2026, 2, 28), QTime(1, 2, 3)), {1.0f}))
                                          .replace(QByteArray("28"), QByteArray("30"));
}

void RecordScannerTest::sameAsTheSlowParser()
{
    QFETCH(QByteArray, line);
    const Both b = readBoth(line);
    if (b.fastCount < 0)
        return; // left to the slow parser, which then gives the answer
    QVERIFY2(b.slowOk, "the fast way took a line the slow parser refuses");
    QCOMPARE(b.fastWall, b.slowWall);
    QCOMPARE(b.fast.size(), b.slow.size());
    for (std::size_t i = 0; i < b.fast.size(); ++i)
        QCOMPARE(std::bit_cast<quint32>(b.fast[i]), std::bit_cast<quint32>(b.slow[i]));
}

QTEST_GUILESS_MAIN(RecordScannerTest)
#include "recordscanner_test.moc"
