#include "passwordfile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace kestrin;

class PasswordFileTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void reads_data();
    void reads();
};

void PasswordFileTest::reads_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<int>("mode"); // -1: no file
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<QString>("error"); // after "PATH: "
    QTest::newRow("owner only") << QByteArray("s3cret\n") << 0600 << QByteArray("s3cret") << QString();
    QTest::newRow("owner read only, CR LF") << QByteArray("s3cret\r\nmore") << 0400 << QByteArray("s3cret") << QString();
    QTest::newRow("no line end, spaces kept") << QByteArray(" a b ") << 0600 << QByteArray(" a b ") << QString();
    QTest::newRow("group can read")
        << QByteArray("s3cret") << 0640 << QByteArray()
        << QStringLiteral("permissions 0640 are too open: a password file must not be accessible by group or others "
                          "(chmod 600 PATH)");
    QTest::newRow("others can read")
        << QByteArray("s3cret") << 0604 << QByteArray()
        << QStringLiteral("permissions 0604 are too open: a password file must not be accessible by group or others "
                          "(chmod 600 PATH)");
    QTest::newRow("group can write")
        << QByteArray("s3cret") << 0620 << QByteArray()
        << QStringLiteral("permissions 0620 are too open: a password file must not be accessible by group or others "
                          "(chmod 600 PATH)");
    QTest::newRow("empty") << QByteArray("\n") << 0600 << QByteArray() << QStringLiteral("the password is empty");
    QTest::newRow("missing") << QByteArray() << -1 << QByteArray() << QStringLiteral("No such file or directory");
}

void PasswordFileTest::reads()
{
    QFETCH(QByteArray, contents);
    QFETCH(int, mode);
    QFETCH(QByteArray, password);
    QFETCH(QString, error);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("mqtt.pass"));
    if (mode >= 0) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(contents);
        f.close();
        QVERIFY(::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0);
    }
    const PasswordFile result = PasswordFile::read(path);
    if (error.isEmpty()) {
        QVERIFY2(result.password.has_value(), qPrintable(result.error));
        QCOMPARE(*result.password, password);
    } else {
        QVERIFY(!result.password);
        QCOMPARE(result.error, path + QStringLiteral(": ") + QString(error).replace(QStringLiteral("PATH"), path));
    }
}

QTEST_GUILESS_MAIN(PasswordFileTest)
#include "passwordfile_test.moc"
