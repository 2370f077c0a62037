#include "registry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace kestrin;

namespace {
const QByteArray toolKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
}

class RegistryTest : public QObject
{
    Q_OBJECT

    QTemporaryDir bin;
    QByteArray savedPath;

    void install(const QStringList &programs)
    {
        for (const QString &name : programs) {
            QFile f(bin.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("#!/bin/sh\n");
            f.close();
            f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(bin.isValid()); savedPath = qgetenv("PATH"); qputenv("PATH", QFile::encodeName(bin.path())); }
    void cleanupTestCase() { qputenv("PATH", savedPath); }
    void cleanup() { for (const QString &f : QDir(bin.path()).entryList(QDir::Files)) QFile::remove(bin.filePath(f)); }
    void open_data();
    void open();
    void queryTool();
};

void RegistryTest::open_data()
{
    QTest::addColumn<QStringList>("programs");
    QTest::addColumn<quint32>("root");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<quint32>("mask");
    QTest::addColumn<long>("rc");

    const QStringList tool{u"kinfocenter"_qs};
    QTest::newRow("tool present") << tool << reg::HKeyLocalMachine << toolKey << reg::KeyRead << reg::ErrorSuccess;
    QTest::newRow("key case ignored") << tool << reg::HKeyLocalMachine << toolKey.toLower() << reg::KeyRead
                                      << reg::ErrorSuccess;
    QTest::newRow("no tool") << QStringList{u"unrelated"_qs} << reg::HKeyLocalMachine << toolKey << reg::KeyRead
                             << reg::ErrorFileNotFound;
    QTest::newRow("write rights refused") << tool << reg::HKeyLocalMachine << toolKey << 0x2003Fu
                                          << reg::ErrorAccessDenied;
    QTest::newRow("other root") << tool << 0x80000001u << toolKey << reg::KeyRead << reg::ErrorFileNotFound;
    QTest::newRow("folder key has no hive") << tool << reg::HKeyLocalMachine
                                            << QByteArray("SOFTWARE\\Microsoft\\Shared Tools Location")
                                            << reg::KeyRead << reg::ErrorFileNotFound;
}

void RegistryTest::open()
{
    QFETCH(QStringList, programs);
    QFETCH(quint32, root);
    QFETCH(QByteArray, key);
    QFETCH(quint32, mask);
    QFETCH(long, rc);

    install(programs);
    StandInRegistry registry;
    quint64 handle = 0;
    QCOMPARE(registry.RegOpenKeyExA(root, key, 0, mask, &handle), rc);
    QCOMPARE(handle != 0, rc == reg::ErrorSuccess);
    QCOMPARE(registry.RegCloseKey(handle), rc == reg::ErrorSuccess ? reg::ErrorSuccess : reg::ErrorInvalidHandle);
    QCOMPARE(registry.RegCloseKey(handle), reg::ErrorInvalidHandle);
}

void RegistryTest::queryTool()
{
    // The most informative tool wins, whatever the order on disk.
    install({u"gnome-system-monitor"_qs, u"hardinfo"_qs});
    const QByteArray expected = QFile::encodeName(bin.filePath(u"hardinfo"_qs));
    auto registry = makePlatformRegistry();
    quint64 key = 0;
    QCOMPARE(registry->RegOpenKeyExA(reg::HKeyLocalMachine, toolKey, 0, reg::KeyRead, &key), reg::ErrorSuccess);

    QByteArray buffer(1024, '\0');
    quint32 size = 4, type = 0;
    QCOMPARE(registry->RegQueryValueExA(key, "PATH", nullptr, &type, buffer.data(), &size), reg::ErrorMoreData);
    QCOMPARE(size, quint32(expected.size() + 1));
    size = 1024;
    QCOMPARE(registry->RegQueryValueExA(key, "Path", nullptr, &type, buffer.data(), &size), reg::ErrorSuccess);
    QCOMPARE(type, reg::TypeSz);
    QCOMPARE(size, quint32(expected.size() + 1));
    QCOMPARE(QByteArray(buffer.constData()), expected);
    QCOMPARE(registry->RegQueryValueExA(key, "MSINFO", nullptr, &type, buffer.data(), &size), reg::ErrorFileNotFound);
    QCOMPARE(registry->RegCloseKey(key), reg::ErrorSuccess);
    QCOMPARE(registry->RegQueryValueExA(key, "PATH", nullptr, &type, buffer.data(), &size), reg::ErrorInvalidHandle);
}

QTEST_MAIN(RegistryTest)
#include "registry_test.moc"
