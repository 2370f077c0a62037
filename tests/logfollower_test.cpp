#include "logfollower.h"
#include "logrecord.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace kestrin;

namespace {

QByteArray records(int count, int firstSecond, float value = 21.5f)
{
    QByteArray out;
    const std::vector<float> readings(11, value);
    for (int i = 0; i < count; ++i)
        out += LogRecord::bytes(QDateTime(QDate(2026, 12, 8), QTime(10, 0).addSecs(firstSecond + 8 * i)), readings,
                                QLocale::system());
    return out;
}

void write(const QString &path, const QByteArray &bytes, QIODevice::OpenMode mode)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | mode));
    QCOMPARE(f.write(bytes), bytes.size());
}

} // namespace

class LogFollowerTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void follows_data();
    void follows();
};

void LogFollowerTest::follows_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("restarts");
    QTest::addColumn<int>("recordsAfter"); // in the batches after the first read
    QTest::newRow("appended in two pieces") << "append" << 0 << 3;
    QTest::newRow("truncated and written anew") << "truncate" << 1 << 2;
    // Longer than before, so only its first bytes tell it is another file.
    QTest::newRow("replaced by another file") << "replace" << 1 << 7;
}

void LogFollowerTest::follows()
{
    QFETCH(QString, change);
    QFETCH(int, restarts);
    QFETCH(int, recordsAfter);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("records.txt"));
    write(path, records(5, 0), QIODevice::Truncate);

    LogFollower follower(path, QLocale::system());
    QSignalSpy batches(&follower, &LogFollower::batchRead);
    QSignalSpy caughtUp(&follower, &LogFollower::caughtUp);
    QSignalSpy restarted(&follower, &LogFollower::restarted);
    follower.start();
    QVERIFY(caughtUp.wait(5000));
    QCOMPARE(caughtUp.first().first().toLongLong(), 5);
    batches.clear();

    if (change == QLatin1String("append")) {
        // A record arrives in two writes: nothing until its CR LF is there.
        const QByteArray more = records(3, 100);
        const qsizetype cut = more.indexOf('\n') + 10;
        write(path, more.left(cut), QIODevice::Append);
        QVERIFY(batches.wait(3000));
        write(path, more.mid(cut), QIODevice::Append);
    } else if (change == QLatin1String("truncate")) {
        write(path, records(2, 200), QIODevice::Truncate);
    } else {
        const QString other = dir.filePath(QStringLiteral("other.txt"));
        write(other, records(7, 300, 19.0f), QIODevice::Truncate);
        QFile::remove(path);
        QVERIFY(QFile::rename(other, path));
    }
    qint64 seen = 0;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            seen = 0;
            for (const QList<QVariant> &args : std::as_const(batches))
                seen += args.first().value<LogBatchPtr>()->size();
            return seen >= recordsAfter;
        }(),
        3000);
    QTest::qWait(600); // nothing more may come
    seen = 0;
    for (const QList<QVariant> &args : std::as_const(batches))
        seen += args.first().value<LogBatchPtr>()->size();
    QCOMPARE(seen, qint64(recordsAfter));
    QCOMPARE(restarted.size(), restarts);
}

QTEST_GUILESS_MAIN(LogFollowerTest)
#include "logfollower_test.moc"
