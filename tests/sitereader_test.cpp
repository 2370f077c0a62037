#include "badsites.h"
#include "sitekeys.h"
#include "sitelocator.h"
#include "sitereader.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace kestrin;
using namespace kestrin::testing;

namespace {

SiteFile readGood(const QByteArray &text)
{
    SiteReader::Result result = SiteReader::parse(text, QStringLiteral("site.ini"));
    if (const SiteError *error = std::get_if<SiteError>(&result))
        qFatal("refused: %s", qPrintable(error->text()));
    return std::get<SiteFile>(result);
}

// The issue's own example, as a user writes it.
const QByteArray Example = "# Kestrin-3 site file\n"
                           "[gateway]\n"
                           "host = 192.0.2.17            ; host, host:port or [IPv6]:port\n"
                           "\n"
                           "[sensor.1]\n"
                           "rom = 9C000000B4A89828\n"
                           "name = Freezer 2\n"
                           "\n"
                           "[sensor.2]\n"
                           "rom = 06000000A4EC7428\n"
                           "name = Cold room\n";

} // namespace

class SiteReaderTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void badFiles_data();
    void badFiles();
    void fileErrors();
    void example_data();
    void example();
    void values_data();
    void values();
    void bridgeKeys();
    void defaults();
    void labels();
    void documentedExample();
    void lookup_data();
    void lookup();
};

void SiteReaderTest::badFiles_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("message");
    for (const BadSite &bad : badSites())
        QTest::newRow(bad.name) << bad.text << QString::fromUtf8(bad.message);
}

void SiteReaderTest::badFiles()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, message);
    const SiteReader::Result result = SiteReader::parse(text, QStringLiteral("site.ini"));
    QVERIFY(std::holds_alternative<SiteError>(result));
    QCOMPARE(std::get<SiteError>(result).text(), message);
}

void SiteReaderTest::fileErrors()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString missing = dir.filePath(QStringLiteral("missing.ini"));
    SiteReader::Result result = SiteReader::read(missing, QStringLiteral("conf/missing.ini"));
    QCOMPARE(std::get<SiteError>(result).text(), QStringLiteral("conf/missing.ini: cannot read: No such file or directory"));

    // The path as given when no other name is.
    QFile big(dir.filePath(QStringLiteral("big.ini")));
    QVERIFY(big.open(QIODevice::WriteOnly));
    big.write(Example + QByteArray(SiteReader::MaxBytes, '#'));
    big.close();
    result = SiteReader::read(big.fileName());
    QCOMPARE(std::get<SiteError>(result).text(), big.fileName() + QStringLiteral(": larger than 65536 bytes: no site file"));
}

void SiteReaderTest::example_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("as written") << Example;
    QTest::newRow("with a BOM") << "\xEF\xBB\xBF" + Example;
    QTest::newRow("CR LF") << QByteArray(Example).replace("\n", "\r\n");
    QTest::newRow("no newline at the end") << Example.chopped(1);
    QTest::newRow("tabs, indentation, no spaces at =")
        << QByteArray(Example).replace("host = ", "\thost\t=\t").replace("rom = ", "  rom=").replace("\n\n", "\n   \n");
    QTest::newRow("comments of both kinds")
        << QByteArray(Example).replace("[sensor.1]\n", "[sensor.1]   # the top freezer\n; ids from the label\n")
               .replace("Cold room\n", "Cold room ; by the door\n");
    QTest::newRow("sensors out of order")
        << QByteArray("[sensor.2]\nrom = 06000000A4EC7428\nname = Cold room\n[gateway]\nhost = 192.0.2.17\n"
                      "[sensor.1]\nrom = 9c000000b4a89828\nname = \"Freezer 2\"\n");
}

void SiteReaderTest::example()
{
    QFETCH(QByteArray, text);
    const SiteFile site = readGood(text);
    QCOMPARE(site.gateway.authority(), QStringLiteral("192.0.2.17"));
    QCOMPARE(site.sensorCount(), 2);
    QCOMPARE(site.sensors[0].number, 1);
    QCOMPARE(site.sensors[0].rom, QStringLiteral("9C000000B4A89828"));
    QCOMPARE(site.sensors[0].name, QStringLiteral("Freezer 2"));
    QCOMPARE(site.sensors[1].rom, QStringLiteral("06000000A4EC7428"));
    QCOMPARE(site.sensors[1].name, QStringLiteral("Cold room"));
}

void SiteReaderTest::values_data()
{
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QString>("authority");
    QTest::addColumn<QString>("storedName");

    QTest::newRow("name and port") << QByteArray("gw.lab-a.example:8080") << QByteArray("Freezer 2")
                                   << QStringLiteral("gw.lab-a.example:8080") << QStringLiteral("Freezer 2");
    QTest::newRow("IPv6, no port") << QByteArray("[2001:DB8::17]") << QByteArray("Kühlraum 3")
                                   << QStringLiteral("[2001:db8::17]") << QStringLiteral("Kühlraum 3");
    QTest::newRow("IPv6 and port, 40 characters")
        << QByteArray("[::1]:8031") << QByteArray("冷凍庫 ").repeated(10).chopped(1)
        << QStringLiteral("[::1]:8031") << QString::fromUtf8(QByteArray("冷凍庫 ").repeated(10).chopped(1));
    QTest::newRow("leading zeros of a port") << QByteArray("localhost:08031") << QByteArray("x")
                                             << QStringLiteral("localhost:8031") << QStringLiteral("x");
    QTest::newRow("quotes keep # and ;") << QByteArray("192.0.2.17:80") << QByteArray("\"Fridge #3; top\"  # left")
                                         << QStringLiteral("192.0.2.17:80") << QStringLiteral("Fridge #3; top");
    QTest::newRow("# inside a word") << QByteArray("192.0.2.17") << QByteArray("Fridge#3")
                                     << QStringLiteral("192.0.2.17") << QStringLiteral("Fridge#3");
}

void SiteReaderTest::values()
{
    QFETCH(QByteArray, host);
    QFETCH(QByteArray, name);
    QFETCH(QString, authority);
    QFETCH(QString, storedName);
    const SiteFile site = readGood(gateway(host) + sensor(1, Rom1, "name = " + name + "\n"));
    QCOMPARE(site.gateway.authority(), authority);
    QCOMPARE(site.sensors[0].name, storedName);
}

void SiteReaderTest::bridgeKeys()
{
    const SiteFile site = readGood(gateway() + "[bridge]\n"
                                               "site = lab-a\n"
                                               "listen = [::1]:9731\n"
                                               "mqtt = mqtts://broker.lab-a.example\n"
                                               "ca_file = /etc/ssl/certs/ca-certificates.crt\n"
                                               "username = kestrin\n"
                                               "password_file = /etc/kestrin-3//mqtt.pass\n"
                                               "discovery_prefix = site/homeassistant\n"
                                               "stale_after = 0.1\n"
                                               "on_alarm = /usr/local/bin/page-the-lab\n"
                                   + sensor(1, Rom1,
                                            "low = -30\nhigh = -15.5\nhysteresis = 0\ndelay = 3\nsilent_after = 0.1\n"));
    const SiteFile::Bridge &bridge = site.bridge;
    QCOMPARE(bridge.site, QStringLiteral("lab-a"));
    QCOMPARE(site.siteId(), QStringLiteral("lab-a"));
    QCOMPARE(bridge.listen->authority(), QStringLiteral("[::1]:9731"));
    QVERIFY(bridge.mqtt->tls);
    QCOMPARE(bridge.mqtt->endpoint.authority(), QStringLiteral("broker.lab-a.example:8883"));
    QCOMPARE(bridge.caFile, QStringLiteral("/etc/ssl/certs/ca-certificates.crt"));
    QCOMPARE(bridge.username, QStringLiteral("kestrin"));
    QCOMPARE(bridge.passwordFile, QStringLiteral("/etc/kestrin-3/mqtt.pass"));
    QCOMPARE(bridge.discoveryPrefix, QStringLiteral("site/homeassistant"));
    QCOMPARE(bridge.staleAfterMinutes, 0.1);
    QCOMPARE(bridge.onAlarm, QStringLiteral("/usr/local/bin/page-the-lab"));
    const SiteFile::Sensor &s = site.sensors[0];
    QCOMPARE(s.low, std::optional<double>(-30));
    QCOMPARE(s.high, std::optional<double>(-15.5));
    QCOMPARE(s.hysteresis, 0.0);
    QCOMPARE(s.delay, 3);
    QCOMPARE(s.silentAfterMinutes, 0.1);

    const SiteFile off = readGood(gateway() + "[bridge]\nlisten = off\nmqtt = mqtt://[::1]\n" + sensor(1, Rom1));
    QVERIFY(!off.bridge.listen);
    QCOMPARE(off.bridge.mqtt->endpoint.authority(), QStringLiteral("[::1]:1883"));
}

void SiteReaderTest::defaults()
{
    SiteReader::Result result = SiteReader::parse(gateway() + sensor(1, Rom1), QStringLiteral("/etc/xdg/lab_a.2.ini"));
    const SiteFile &site = std::get<SiteFile>(result);
    QCOMPARE(site.bridge.listen->authority(), QStringLiteral("127.0.0.1:9731"));
    QVERIFY(!site.bridge.mqtt);
    QCOMPARE(site.bridge.discoveryPrefix, QStringLiteral("homeassistant"));
    QCOMPARE(site.bridge.staleAfterMinutes, 5.0);
    QCOMPARE(site.siteId(), QStringLiteral("lab_a-2"));
    const SiteFile::Sensor &s = site.sensors[0];
    QVERIFY(!s.low && !s.high);
    QCOMPARE(s.hysteresis, 0.5);
    QCOMPARE(s.delay, 2);
    QCOMPARE(s.silentAfterMinutes, 60.0);
}

void SiteReaderTest::labels()
{
    const SiteFile site = readGood(Example + sensor(3, Rom3));
    QCOMPARE(site.label(1), QStringLiteral("1 Freezer 2"));
    QCOMPARE(site.label(3), QStringLiteral("Sensor 3"));  // no name
    QCOMPARE(site.label(11), QStringLiteral("Sensor 11")); // a log wider than the site
    QCOMPARE(SiteFile::label(2, QString()), QStringLiteral("Sensor 2"));
}

void SiteReaderTest::documentedExample()
{
    // The example the package ships is a site file the reader takes, and it
    // shows every key the reader knows, set or commented out.
    const QString path = QStringLiteral(KESTRIN_SOURCE_DIR "/data/site.example.ini");
    SiteReader::Result result = SiteReader::read(path);
    if (const SiteError *error = std::get_if<SiteError>(&result))
        QFAIL(qPrintable(error->text()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    for (const SiteKeys::Key &key : SiteKeys::all()) {
        const QRegularExpression shown(QStringLiteral("^([#;] )?%1 = ").arg(QString(key.name)),
                                       QRegularExpression::MultilineOption);
        QVERIFY2(text.contains(shown), key.name.data());
    }
}

void SiteReaderTest::lookup_data()
{
    // $T is a scratch folder; `files` are the site files in it.
    QTest::addColumn<QString>("explicitPath");
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("found"); // empty: none

    const QString site = QStringLiteral("/Kestrin-3/site.ini");
    QTest::newRow("--site wins, even when missing")
        << QStringLiteral("lab.ini") << QStringList{QStringLiteral("XDG_CONFIG_HOME=$T/home")}
        << QStringList{QStringLiteral("home") + site} << QStringLiteral("lab.ini");
    QTest::newRow("XDG_CONFIG_HOME before the dirs")
        << QString() << QStringList{QStringLiteral("XDG_CONFIG_HOME=$T/home"), QStringLiteral("XDG_CONFIG_DIRS=$T/a")}
        << QStringList{QStringLiteral("home") + site, QStringLiteral("a") + site} << QStringLiteral("$T/home") + site;
    QTest::newRow("HOME/.config without XDG_CONFIG_HOME")
        << QString() << QStringList{QStringLiteral("HOME=$T/h"), QStringLiteral("XDG_CONFIG_DIRS=$T/a")}
        << QStringList{QStringLiteral("h/.config") + site, QStringLiteral("a") + site} << QStringLiteral("$T/h/.config") + site;
    QTest::newRow("empty XDG_CONFIG_HOME counts as unset")
        << QString() << QStringList{QStringLiteral("XDG_CONFIG_HOME="), QStringLiteral("HOME=$T/h")}
        << QStringList{QStringLiteral("h/.config") + site} << QStringLiteral("$T/h/.config") + site;
    QTest::newRow("the dirs in their order")
        << QString() << QStringList{QStringLiteral("XDG_CONFIG_HOME=$T/home"), QStringLiteral("XDG_CONFIG_DIRS=$T/a:$T/b")}
        << QStringList{QStringLiteral("b") + site, QStringLiteral("a") + site} << QStringLiteral("$T/a") + site;
    QTest::newRow("the second dir when the first has none")
        << QString() << QStringList{QStringLiteral("XDG_CONFIG_DIRS=$T/a::$T/b")}
        << QStringList{QStringLiteral("b") + site} << QStringLiteral("$T/b") + site;
    QTest::newRow("relative folders are ignored")
        << QString() << QStringList{QStringLiteral("XDG_CONFIG_HOME=home"), QStringLiteral("XDG_CONFIG_DIRS=a:$T/b")}
        << QStringList{QStringLiteral("home") + site, QStringLiteral("a") + site, QStringLiteral("b") + site}
        << QStringLiteral("$T/b") + site;
    QTest::newRow("a folder named site.ini is no file")
        << QString() << QStringList{QStringLiteral("XDG_CONFIG_HOME=$T/home"), QStringLiteral("XDG_CONFIG_DIRS=$T/a")}
        << QStringList{QStringLiteral("home") + site + QStringLiteral("/x"), QStringLiteral("a") + site}
        << QStringLiteral("$T/a") + site;
    QTest::newRow("none anywhere") << QString() << QStringList{QStringLiteral("XDG_CONFIG_HOME=$T/home"),
                                                               QStringLiteral("XDG_CONFIG_DIRS=$T/a")}
                                   << QStringList{} << QString();
}

void SiteReaderTest::lookup()
{
    QFETCH(QString, explicitPath);
    QFETCH(QStringList, environment);
    QFETCH(QStringList, files);
    QFETCH(QString, found);

    QTemporaryDir scratch;
    QVERIFY(scratch.isValid());
    const QString root = scratch.path();
    // Relative names in the variables would be taken from here.
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(root));
    for (const QString &file : std::as_const(files)) {
        QVERIFY(QDir(root).mkpath(QFileInfo(file).path()));
        QFile f(root + u'/' + file);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    QProcessEnvironment env;
    for (const QString &entry : std::as_const(environment)) {
        const qsizetype equals = entry.indexOf(u'=');
        env.insert(entry.left(equals), QString(entry.mid(equals + 1)).replace(QStringLiteral("$T"), root));
    }
    const std::optional<QString> got = SiteLocator::find(explicitPath, env);
    QDir::setCurrent(before);
    QCOMPARE(got.value_or(QString()), QString(found).replace(QStringLiteral("$T"), root));
}

QTEST_GUILESS_MAIN(SiteReaderTest)
#include "sitereader_test.moc"
