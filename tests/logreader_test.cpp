// Reading logs back. Run once per locale (LANG / LC_ALL from CTest) with
// TZ=Europe/Berlin, so the records written by the program's own record code
// come back under every locale, across the repeated hour of autumn too.
#include "csvwriter.h"
#include "logreader.h"
#include "logrecord.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <vector>

using namespace kestrin;

namespace {

struct Written
{
    QDateTime when;
    std::vector<float> readings;
};

LogBatch readAll(const QByteArray &bytes, qsizetype piece, LogReader &reader)
{
    LogBatch all;
    for (qsizetype at = 0; at < bytes.size(); at += piece) {
        LogBatch batch;
        reader.feed(QByteArrayView(bytes).sliced(at, std::min(piece, bytes.size() - at)), batch);
        if (batch.readingsPerRecord)
            all.readingsPerRecord = batch.readingsPerRecord;
        all.times.insert(all.times.end(), batch.times.begin(), batch.times.end());
        all.offsets.insert(all.offsets.end(), batch.offsets.begin(), batch.offsets.end());
        all.values.insert(all.values.end(), batch.values.begin(), batch.values.end());
        all.problems.insert(all.problems.end(), batch.problems.begin(), batch.problems.end());
    }
    return all;
}

QByteArray record(const QDateTime &when, const std::vector<float> &readings)
{
    return LogRecord::bytes(when, readings, QLocale::system());
}

std::vector<float> eleven(float base)
{
    std::vector<float> v(11);
    for (int i = 0; i < 11; ++i)
        v[i] = base + 0.0625f * float(i);
    return v;
}

} // namespace

class LogReaderTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void roundTrip_data();
    void roundTrip();
    void badInput_data();
    void badInput();
    void notALog_data();
    void notALog();
    void csvRows();
};

void LogReaderTest::roundTrip_data()
{
    QTest::addColumn<qsizetype>("piece");
    QTest::addColumn<bool>("asciiOnly");
    // Whole, and in pieces that cut lines, characters and CR LF apart.
    QTest::newRow("whole file") << qsizetype(1 << 20) << false;
    QTest::newRow("7-byte pieces") << qsizetype(7) << false;
    QTest::newRow("1-byte pieces") << qsizetype(1) << false;
    // Writers that put ASCII digits, no direction marks and "." where the
    // locale's digits are not ASCII.
    QTest::newRow("ASCII digits, no marks") << qsizetype(1 << 20) << true;
}

void LogReaderTest::roundTrip()
{
    QFETCH(qsizetype, piece);
    QFETCH(bool, asciiOnly);
    // Two logging periods of two runs, midnight and noon, the autumn hour
    // that repeats in Berlin (02:00-03:00 on 2026-10-25, once in summer time
    // and once in standard time), and readings of every shape.
    std::vector<Written> written;
    const QList<std::vector<float>> shapes = {
        eleven(21.5f),
        {0.0f, -0.25f, 0.5f, -0.5f, 85.0f, -55.0f, 125.0f, 1234.567f, -1234.567f, 0.0625f, 20.9375f},
        {1e-05f, -2.5e-07f, 1.5e+10f, 9999999.0f, 0.1f, -10.0f, 100.0f, 3.25f, 19.0f, 22.0625f, -0.0625f},
    };
    auto add = [&](qint64 utc) {
        const QDateTime when = QDateTime::fromSecsSinceEpoch(utc).toLocalTime();
        written.push_back({when, shapes[written.size() % shapes.size()]});
    };
    const qint64 autumn = QDateTime(QDate(2026, 10, 25), QTime(0, 0), Qt::UTC).toSecsSinceEpoch();
    for (qint64 t = autumn - 600; t < autumn + 3 * 3600; t += 600) // 01:50 CEST to 04:50 CET
        add(t);
    add(QDateTime(QDate(2026, 12, 7), QTime(23, 59, 59)).toSecsSinceEpoch());
    add(QDateTime(QDate(2026, 12, 8), QTime(0, 0, 0)).toSecsSinceEpoch());
    add(QDateTime(QDate(2026, 12, 8), QTime(12, 0, 0)).toSecsSinceEpoch());
    add(QDateTime(QDate(2027, 1, 1), QTime(13, 5, 9)).toSecsSinceEpoch());
    QByteArray bytes;
    for (const Written &w : written) {
        QByteArray line = record(w.when, w.readings);
        if (asciiOnly) {
            const QLocale here = QLocale::system();
            QString text;
            for (QChar c : QString::fromUtf8(line)) {
                const char16_t u = c.unicode();
                if (u == 0x200E || u == 0x200F || u == 0x061C || (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069))
                    continue;
                if (here.zeroDigit() != QLatin1String("0") && QString(c) == here.decimalPoint())
                    c = u'.';
                text += c.isDigit() ? QChar(u'0' + c.digitValue()) : c;
            }
            line = text.toUtf8();
        }
        bytes += line;
    }

    LogReader reader(QLocale::system());
    const LogBatch got = readAll(bytes, piece, reader);
    QVERIFY2(got.problems.empty(), got.problems.empty() ? "" : qPrintable(got.problems.front().reason));
    QCOMPARE(got.size(), qsizetype(written.size()));
    QCOMPARE(got.readingsPerRecord, 11);
    QVERIFY(!reader.holdsPartialLine());
    for (std::size_t i = 0; i < written.size(); ++i) {
        QCOMPARE(got.times[i], written[i].when.toSecsSinceEpoch());
        QCOMPARE(got.offsets[i], written[i].when.offsetFromUtc());
        for (int j = 0; j < 11; ++j)
            QCOMPARE(got.values[i * 11 + j], written[i].readings[j]);
    }
}

void LogReaderTest::badInput_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("records");
    QTest::addColumn<qint64>("badLine"); // 0: none
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("partial");

    const QDateTime when(QDate(2026, 12, 8), QTime(10, 45, 41));
    const QByteArray good = record(when, eleven(21.5f));
    QByteArray noCr = good;
    noCr.replace("\r\n", "\n");
    QByteArray tenReadings = record(when, std::vector<float>(10, 20.0f));
    QByteArray letters = good;
    letters.replace(letters.indexOf(" , ") - 3, 1, "x");
    QByteArray noSeparator = good;
    noSeparator.replace(noSeparator.indexOf(" , "), 3, " ; ");
    const QByteArray stampOnly = good.left(good.indexOf(", ") + 2) + "\r\n";
    // February 30th, written in the locale's digits.
    QString feb = QString::fromUtf8(record(QDateTime(QDate(2026, 2, 28), QTime(10, 45, 41)), eleven(21.5f)));
    feb.replace(QLocale::system().toString(28), QLocale::system().toString(30)).replace(u"28"_qs, u"30"_qs);
    const QByteArray cut = good.left(good.size() - 9);

    QTest::newRow("LF without CR") << good + noCr + good << 2 << qint64(2) << "CR LF" << false;
    QTest::newRow("a line of prose") << good + "Logging started\r\n" + good << 2 << qint64(2) << "time stamp" << false;
    QTest::newRow("empty line") << good + "\r\n" + good << 2 << qint64(2) << "empty" << false;
    QTest::newRow("letter in a reading") << good + letters << 1 << qint64(2) << "reading 1" << false;
    QTest::newRow("separator broken") << good + noSeparator << 1 << qint64(2) << "after reading 1" << false;
    QTest::newRow("time stamp alone") << good + stampOnly << 1 << qint64(2) << "reading 1" << false;
    QTest::newRow("fewer readings") << good + tenReadings << 1 << qint64(2) << "10 readings" << false;
    QTest::newRow("not text") << good + QByteArray("\xff\xfe 21\r\n", 7) << 1 << qint64(2) << "encoding" << false;
    QTest::newRow("record being written") << good + cut << 1 << qint64(0) << QString() << true;
    QTest::newRow("no such date") << good + feb.toUtf8() << 1 << qint64(2) << "time stamp" << false;
}

void LogReaderTest::badInput()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, records);
    QFETCH(qint64, badLine);
    QFETCH(QString, reason);
    QFETCH(bool, partial);
    LogReader reader(QLocale::system());
    const LogBatch got = readAll(bytes, 5, reader);
    QCOMPARE(got.size(), qsizetype(records));
    QCOMPARE(reader.holdsPartialLine(), partial);
    if (badLine == 0) {
        QVERIFY(got.problems.empty());
        return;
    }
    QCOMPARE(got.problems.size(), std::size_t(1));
    QCOMPARE(got.problems.front().line, badLine);
    QVERIFY2(got.problems.front().reason.contains(reason), qPrintable(got.problems.front().reason));
}

void LogReaderTest::notALog_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("prose") << QByteArray("Dear diary,\r\nno records here\r\n")
                           << "is not a Kestrin-3 log: line 1: no time stamp";
    QTest::newRow("empty") << QByteArray() << "is not a Kestrin-3 log: the file is empty";
    QTest::newRow("no line end") << QByteArray("12/8/2026") << "is not a Kestrin-3 log: line 1: it has no CR LF";
    QTest::newRow("missing") << QByteArray("-") << "No such file or directory";
}

void LogReaderTest::notALog()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("records.txt"));
    if (bytes != "-") {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    const auto result = LogReader::readFile(path, QLocale::system(), [](const LogBatch &) {});
    QVERIFY(result.error.has_value());
    QVERIFY2(result.error->startsWith(path) && result.error->contains(expected), qPrintable(*result.error));
}

void LogReaderTest::csvRows()
{
    // The CSV holds what was logged: ISO times with their offset, "." and the
    // shortest digits that read back as the same float.
    LogBatch batch;
    batch.readingsPerRecord = 3;
    batch.times = {1796723141, 1761350400};
    batch.offsets = {3600, 7200};
    batch.values = {21.5f, -0.25f, 0.0f, 1234.567f, 1e-05f, 20.0625f};
    QByteArray csv = CsvWriter::header(3);
    CsvWriter::appendRows(batch, csv);
    QCOMPARE(csv, QByteArray("time,sensor1,sensor2,sensor3\r\n"
                             "2026-12-08T10:45:41+01:00,21.5,-0.25,0\r\n"
                             "2025-10-25T02:00:00+02:00,1234.567,1e-05,20.0625\r\n"));
}

QTEST_GUILESS_MAIN(LogReaderTest)
#include "logreader_test.moc"
