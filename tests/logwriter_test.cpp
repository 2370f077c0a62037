#include "logwriter.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using kestrin::LogWriter;

namespace {

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Caps the size any file of this process may grow to, the way a full disk
// would stop a write part of the way through.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &m_saved); }

private:
    rlimit m_saved{};
};

} // namespace

class LogWriterTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { std::signal(SIGXFSZ, SIG_IGN); }
    void appendsAfterExistingContent();
    void unopenable_data();
    void unopenable();
    void partialWriteIsTakenBack();
    void deviceThatRefusesEveryWrite();
    void fileRemovedUnderTheWriter();
};

void LogWriterTest::appendsAfterExistingContent()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.txt"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("earlier line\r\n");
    }
    LogWriter writer;
    QVERIFY(!writer.open(path));
    QVERIFY(!writer.append("one\r\n"));
    QVERIFY(!writer.append("two\r\n"));
    writer.close();
    QVERIFY(!writer.open(path));
    QVERIFY(!writer.append("three\r\n"));
    QCOMPARE(contents(path), QByteArray("earlier line\r\none\r\ntwo\r\nthree\r\n"));
}

void LogWriterTest::unopenable_data()
{
    QTest::addColumn<QString>("relative");
    QTest::newRow("missing folder") << QStringLiteral("no/such/folder/log.txt");
    QTest::newRow("a folder") << QStringLiteral(".");
}

void LogWriterTest::unopenable()
{
    QFETCH(QString, relative);
    QTemporaryDir dir;
    const QString path = dir.filePath(relative);
    LogWriter writer;
    const std::optional<QString> error = writer.open(path);
    QVERIFY(error.has_value());
    QVERIFY2(error->contains(QDir::toNativeSeparators(path)), qPrintable(*error));
    QVERIFY(!writer.isOpen());
}

void LogWriterTest::partialWriteIsTakenBack()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.txt"));
    LogWriter writer;
    QVERIFY(!writer.open(path));
    QVERIFY(!writer.append("first record\r\n"));
    {
        // Room for a few bytes only: the write stops part of the way through.
        FileSizeLimit limit(QFileInfo(path).size() + 5);
        const std::optional<QString> error = writer.append("second record, longer than the room left\r\n");
        QVERIFY(error.has_value());
        // The system's reason for the part that did not fit, not "Unknown error".
        QVERIFY2(error->contains(QStringLiteral("File too large")), qPrintable(*error));
        QCOMPARE(contents(path), QByteArray("first record\r\n"));
    }
    // Space is back: the next record goes in whole.
    QVERIFY(!writer.append("third record\r\n"));
    QCOMPARE(contents(path), QByteArray("first record\r\nthird record\r\n"));
}

void LogWriterTest::deviceThatRefusesEveryWrite()
{
    if (!QFile::exists(QStringLiteral("/dev/full")))
        QSKIP("no /dev/full here");
    LogWriter writer;
    QVERIFY(!writer.open(QStringLiteral("/dev/full")));
    const std::optional<QString> error = writer.append("record\r\n");
    QVERIFY(error.has_value());
    QVERIFY2(error->contains(QStringLiteral("/dev/full")), qPrintable(*error));
    QVERIFY2(error->contains(QStringLiteral("No space left on device")), qPrintable(*error));
}

void LogWriterTest::fileRemovedUnderTheWriter()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.txt"));
    LogWriter writer;
    QVERIFY(!writer.open(path));
    QVERIFY(!writer.append("before\r\n"));
    QVERIFY(QFile::remove(path));
    QVERIFY(!writer.append("after\r\n"));
    QCOMPARE(contents(path), QByteArray("after\r\n"));

    // The folder gone as well: nothing can be written, and it is said.
    QVERIFY(dir.remove());
    QVERIFY(writer.append("lost\r\n").has_value());
}

QTEST_GUILESS_MAIN(LogWriterTest)
#include "logwriter_test.moc"
