// Local time read back in the zone of the process (TZ from CTest), over logs
// that span both changes of 2026: every CSV row must carry the true moment
// and the offset in force then. The C library's own localtime_r tells what
// is true, so the check does not share the reader's way of finding offsets.
#include "csvwriter.h"
#include "logrecord.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>
#include <vector>

using namespace kestrin;

namespace {

struct Truth
{
    qint64 wall; // seconds since 1970 on the zone's wall clock
    int offset;
};

Truth truthAt(qint64 utc)
{
    const std::time_t t = std::time_t(utc);
    std::tm tm{};
    localtime_r(&t, &tm);
    return {utc + tm.tm_gmtoff, int(tm.tm_gmtoff)};
}

// The moments of 2026 at which the offset changes.
std::vector<qint64> changesOf2026()
{
    std::vector<qint64> changes;
    const qint64 start = QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC).toSecsSinceEpoch();
    const qint64 end = QDateTime(QDate(2027, 1, 1), QTime(0, 0), Qt::UTC).toSecsSinceEpoch();
    int offset = truthAt(start).offset;
    for (qint64 t = start; t < end; t += 900) {
        if (truthAt(t).offset == offset)
            continue;
        qint64 lo = t - 900, hi = t; // the change lies in (lo, hi]
        while (hi - lo > 1) {
            const qint64 mid = lo + (hi - lo) / 2;
            (truthAt(mid).offset == offset ? lo : hi) = mid;
        }
        changes.push_back(hi);
        offset = truthAt(t).offset;
    }
    return changes;
}

QByteArray iso(qint64 wall, int offset)
{
    // Built by hand, not with the writer's code.
    const QDateTime w = QDateTime::fromSecsSinceEpoch(wall, Qt::UTC);
    const int off = std::abs(offset);
    return w.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1() + (offset < 0 ? '-' : '+')
        + QByteArray::number(off / 3600).rightJustified(2, '0') + ':' + QByteArray::number(off / 60 % 60).rightJustified(2, '0');
}

QList<QByteArray> csvTimes(const QByteArray &log, QString *error)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("records.txt")));
    if (!file.open(QIODevice::WriteOnly) || file.write(log) != log.size()) {
        *error = file.errorString();
        return {};
    }
    file.close();
    QByteArray csv;
    QBuffer out(&csv);
    out.open(QIODevice::WriteOnly);
    QStringList skipped;
    const auto failure = CsvWriter::exportLog(file.fileName(), QLocale::system(), out,
                                              [&](const LogProblem &p) { skipped << p.reason; });
    if (failure || !skipped.isEmpty()) {
        *error = failure.value_or(skipped.join(u'\n'));
        return {};
    }
    QList<QByteArray> times;
    const QList<QByteArray> rows = csv.split('\n');
    for (qsizetype i = 1; i < rows.size(); ++i)
        if (!rows[i].isEmpty())
            times << rows[i].left(rows[i].indexOf(','));
    return times;
}

} // namespace

class TimeZoneTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void everyRowIsTheTrueMoment_data();
    void everyRowIsTheTrueMoment();
    void skippedTimeKeepsTheOffsetFromBefore();

private:
    std::vector<qint64> m_changes;
};

void TimeZoneTest::initTestCase()
{
    QVERIFY2(!qEnvironmentVariableIsEmpty("TZ"), "the zone under test comes from TZ");
    tzset();
    m_changes = changesOf2026();
    qInfo("TZ=%s, %s: %d changes in 2026", qPrintable(qEnvironmentVariable("TZ")),
          qPrintable(QLocale::system().name()), int(m_changes.size()));
}

void TimeZoneTest::everyRowIsTheTrueMoment_data()
{
    QTest::addColumn<qint64>("from");
    QTest::addColumn<qint64>("to");
    QTest::addColumn<qint64>("step");
    // A pass of 8.25 s rounds to 8 or 9 s; 37 s and 7 s give other phases
    // against the hour. Three hours either side of each change.
    for (qint64 change : m_changes) {
        const QByteArray name = iso(truthAt(change).wall, truthAt(change).offset);
        QTest::newRow(QByteArray("8 s around " + name).constData()) << change - 3 * 3600 << change + 3 * 3600 << qint64(8);
        QTest::newRow(QByteArray("37 s around " + name).constData()) << change - 3 * 3600 << change + 3 * 3600 << qint64(37);
    }
    // Every zone also gets a summer and a winter day, and the whole year at
    // a coarse pace, so zones without changes are checked too. The pace
    // stays below the shortest repeated stretch (30 minutes on Lord Howe):
    // a record of the second pass must come before the first pass ends for
    // the rule to tell them apart.
    const qint64 jan = QDateTime(QDate(2026, 1, 15), QTime(0, 0), Qt::UTC).toSecsSinceEpoch();
    const qint64 jul = QDateTime(QDate(2026, 7, 15), QTime(0, 0), Qt::UTC).toSecsSinceEpoch();
    QTest::newRow("a day in January") << jan << jan + 86400 << qint64(7);
    QTest::newRow("a day in July") << jul << jul + 86400 << qint64(7);
    QTest::newRow("the year, half-hourly") << jan - 14 * 86400 << jan + 351 * 86400 << qint64(1777);
}

void TimeZoneTest::everyRowIsTheTrueMoment()
{
    QFETCH(qint64, from);
    QFETCH(qint64, to);
    QFETCH(qint64, step);
    const std::vector<float> readings{21.5f, -0.25f};
    QByteArray log;
    std::vector<qint64> moments;
    for (qint64 t = from; t < to; t += step) {
        log += LogRecord::bytes(QDateTime::fromSecsSinceEpoch(t), readings, QLocale::system());
        moments.push_back(t);
    }
    QString error;
    const QList<QByteArray> times = csvTimes(log, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(times.size(), qsizetype(moments.size()));
    int wrong = 0;
    for (std::size_t i = 0; i < moments.size(); ++i) {
        const Truth truth = truthAt(moments[i]);
        const QByteArray expected = iso(truth.wall, truth.offset);
        if (times[qsizetype(i)] != expected && ++wrong <= 5)
            qWarning("row %d: %s, the moment was %s", int(i + 1), times[qsizetype(i)].constData(), expected.constData());
    }
    QCOMPARE(wrong, 0);
}

void TimeZoneTest::skippedTimeKeepsTheOffsetFromBefore()
{
    // A clock that is set by hand, or a log from elsewhere, can hold a time
    // that did not happen here: the middle of a spring change's gap.
    int gaps = 0;
    for (qint64 change : m_changes) {
        const int before = truthAt(change - 1).offset, after = truthAt(change).offset;
        if (after <= before)
            continue;
        ++gaps;
        const qint64 wall = change + before + (after - before) / 2;
        const QDateTime shown = QDateTime::fromSecsSinceEpoch(wall, Qt::UTC);
        // The writer's own text for that wall time, whatever zone it came from.
        QString stamp = LogRecord::timeStamp(QDateTime(shown.date(), shown.time()), QLocale::system());
        const std::vector<float> one{1.0f}, two{2.0f};
        QByteArray log = LogRecord::bytes(QDateTime::fromSecsSinceEpoch(change - 60), one, QLocale::system());
        const QByteArray line = LogRecord::bytes(QDateTime::fromSecsSinceEpoch(change - 60), two, QLocale::system());
        const QString first = LogRecord::timeStamp(QDateTime::fromSecsSinceEpoch(change - 60), QLocale::system());
        log += QString::fromUtf8(line).replace(first, stamp).toUtf8();
        QString error;
        const QList<QByteArray> times = csvTimes(log, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(times.size(), qsizetype(2));
        QCOMPARE(times[1], iso(wall, before));
    }
    if (gaps == 0)
        QSKIP("no spring change in this zone");
}

QTEST_GUILESS_MAIN(TimeZoneTest)
#include "timezone_test.moc"
