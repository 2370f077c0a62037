#include "gatewaysimulator.h"
#include "temperaturemodel.h"

#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace kestrin::sim;
using namespace std::chrono_literals;

namespace {

const std::vector<std::string> TableIds = {
    "9C000000B4A89828", "06000000A4EC7428", "B900000027CA8F28", "E6000000B4E6AC28", "6E00000027CD1E28",
    "40000000B491CF28", "A1000000180B0528", "47000000A4F3AD28", "88000000B4A59328", "EC00000027A23328",
    "EE000000B4913B28", "A1000000A4D34C28", "92000000A4F27928",
};

std::string readTarget(const std::string &romId, int resolution = 12)
{
    return "/1Wire/ReadDS18B20.html?DS18B20Request=%7b" + romId + ',' + std::to_string(resolution) + "%7d";
}

QByteArray qb(const std::string &s)
{
    return QByteArray::fromStdString(s);
}

// The value attribute of the input with the given id, or nullopt without one.
std::optional<std::string> fieldValue(const std::string &page, const std::string &id)
{
    const QRegularExpression re(QStringLiteral("<input[^>]*\\bid=\"%1\"[^>]*\\bvalue=\"([^\"]*)\"")
                                    .arg(QString::fromStdString(id)));
    const auto match = re.match(QString::fromStdString(page));
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toStdString();
}

struct RawReply {
    std::string bytes;
    bool closedByServer = false;
    qint64 elapsedMs = 0;
};

// A bare socket client: sends `request` byte for byte and collects what comes
// back until the server closes or `wait` passes. For what httplib's client
// would tidy up (exact targets, pipelining, garbage) or cannot see (a
// connection closed without an answer).
RawReply rawExchange(int port, const std::string &request, std::chrono::milliseconds wait = 3s)
{
    RawReply reply;
    QElapsedTimer timer;
    timer.start();
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof(addr)) != 0) {
        ::close(fd);
        return reply;
    }
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(wait.count() / 1000);
    tv.tv_usec = static_cast<suseconds_t>((wait.count() % 1000) * 1000);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
    [[maybe_unused]] const auto sent = ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    char buf[65536];
    for (;;) {
        const ssize_t n = ::recv(fd, buf, sizeof(buf), 0);
        if (n > 0) {
            reply.bytes.append(buf, static_cast<std::size_t>(n));
            continue;
        }
        reply.closedByServer = n == 0 || errno == ECONNRESET;
        break;
    }
    ::close(fd);
    reply.elapsedMs = timer.elapsed();
    return reply;
}

std::string closingGet(const std::string &target)
{
    return "GET " + target + " HTTP/1.1\r\nHost: gateway\r\nConnection: close\r\n\r\n";
}

int statusOf(const std::string &raw)
{
    if (raw.rfind("HTTP/1.1 ", 0) != 0 || raw.size() < 12)
        return 0;
    return std::stoi(raw.substr(9, 3));
}

std::string bodyOf(const std::string &raw)
{
    const auto split = raw.find("\r\n\r\n");
    return split == std::string::npos ? std::string() : raw.substr(split + 4);
}

SimulatorOptions fastOptions()
{
    SimulatorOptions options;
    options.conversionMs = 0;
    options.stallMs = 400;
    return options;
}

} // namespace

class GatewaySimTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void crc8KnownVectors();
    void romIds_data();
    void romIds();
    void requestForms_data();
    void requestForms();
    void faults_data();
    void faults();
    void stallDoesNotHoldStop();
    void rawTargetRecorded_data();
    void rawTargetRecorded();
    void survivesGarbage_data();
    void survivesGarbage();
    void restartOnSamePort();
    void keepAliveReusesConnection();
    void pipelinedRequestsOnOneConnection();
    void noDelayReadIsFast();
    void conversionTimeHonoured_data();
    void conversionTimeHonoured();
    void temperaturesPlausible();
    void siteBus_data();
    void siteBus();
    void historyStaysBounded();

private:
    GatewaySimulator *m_sim = nullptr;
};

void GatewaySimTest::initTestCase()
{
    m_sim = new GatewaySimulator(fastOptions());
    std::string error;
    QVERIFY2(m_sim->start(&error), error.c_str());
    QVERIFY(m_sim->running());
    QVERIFY(m_sim->port() > 0);
}

void GatewaySimTest::cleanupTestCase()
{
    delete m_sim;
}

void GatewaySimTest::init()
{
    m_sim->clearFaults();
    m_sim->clearRequests();
}

void GatewaySimTest::crc8KnownVectors()
{
    // Maxim application note 27's worked example: family 02, serial 1B81C.
    const std::uint8_t an27[] = {0x02, 0x1C, 0xB8, 0x01, 0x00, 0x00, 0x00};
    QCOMPARE(onewireCrc8(an27, sizeof(an27)), std::uint8_t{0xA2});
    // Running the CRC over the code including its CRC byte leaves zero.
    const std::uint8_t full[] = {0x02, 0x1C, 0xB8, 0x01, 0x00, 0x00, 0x00, 0xA2};
    QCOMPARE(onewireCrc8(full, sizeof(full)), std::uint8_t{0});
    QCOMPARE(onewireCrc8(nullptr, 0), std::uint8_t{0});
}

void GatewaySimTest::romIds_data()
{
    QTest::addColumn<QString>("romId");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("reason"); // a word the explanation must contain

    for (std::size_t i = 0; i < TableIds.size(); ++i)
        QTest::addRow("table slot %zu", i) << QString::fromStdString(TableIds[i]) << true << QString();
    QTest::newRow("lower case") << QStringLiteral("9c000000b4a89828") << true << QString();
    QTest::newRow("other serial") << QStringLiteral("5A0123456789AB28") << true << QString();
    QTest::newRow("crc off by one") << QStringLiteral("9D000000B4A89828") << false << QStringLiteral("CRC");
    QTest::newRow("serial digit changed") << QStringLiteral("9C000000B4A89928") << false << QStringLiteral("CRC");
    QTest::newRow("crc of another id") << QStringLiteral("06000000B4A89828") << false << QStringLiteral("CRC");
    QTest::newRow("DS18S20 family, good crc") << QStringLiteral("79000000B4A89810") << false << QStringLiteral("family");
    QTest::newRow("AN27 id, family 02") << QStringLiteral("A200000001B81C02") << false << QStringLiteral("family");
    QTest::newRow("15 digits") << QStringLiteral("9C000000B4A8982") << false << QStringLiteral("16");
    QTest::newRow("17 digits") << QStringLiteral("9C000000B4A898280") << false << QStringLiteral("16");
    QTest::newRow("empty") << QString() << false << QStringLiteral("16");
    QTest::newRow("non-hex G") << QStringLiteral("9C0000G0B4A89828") << false << QStringLiteral("hex");
    QTest::newRow("space") << QStringLiteral("9C000000B4A8982 ") << false << QStringLiteral("hex");
    QTest::newRow("0x prefix") << QStringLiteral("0x9C000000B4A898") << false << QStringLiteral("hex");
}

void GatewaySimTest::romIds()
{
    QFETCH(QString, romId);
    QFETCH(bool, valid);
    QFETCH(QString, reason);

    std::string why;
    QCOMPARE(isValidRomId(romId.toStdString(), &why), valid);
    if (valid) {
        QVERIFY(why.empty());
    } else {
        QVERIFY2(QString::fromStdString(why).contains(reason, Qt::CaseInsensitive), why.c_str());
    }
    QCOMPARE(isValidRomId(romId.toStdString()), valid);
}

void GatewaySimTest::requestForms_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("status");
    QTest::addColumn<double>("step");      // quantisation step of a 200 reading
    QTest::addColumn<QString>("problem");  // for a 4xx: a word the page must contain

    const QString page = QStringLiteral("/1Wire/ReadDS18B20.html?DS18B20Request=");
    const QString rom = QStringLiteral("9C000000B4A89828");
    QTest::newRow("logger form, 12 bits") << page + u"%7b" + rom + u",12%7d" << 200 << 0.0625 << QString();
    QTest::newRow("upper-case escapes") << page + u"%7B" + rom + u",12%7D" << 200 << 0.0625 << QString();
    QTest::newRow("plain braces") << page + u"{" + rom + u",12}" << 200 << 0.0625 << QString();
    QTest::newRow("encoded comma") << page + u"%7b" + rom + u"%2C12%7d" << 200 << 0.0625 << QString();
    QTest::newRow("encoded comma, lower") << page + u"%7B" + rom + u"%2c12%7D" << 200 << 0.0625 << QString();
    QTest::newRow("11 bits") << page + u"%7b" + rom + u",11%7d" << 200 << 0.125 << QString();
    QTest::newRow("10 bits") << page + u"%7b" + rom + u",10%7d" << 200 << 0.25 << QString();
    QTest::newRow("9 bits") << page + u"%7b" + rom + u",9%7d" << 200 << 0.5 << QString();
    QTest::newRow("lower-case id") << page + u"%7b9c000000b4a89828,12%7d" << 200 << 0.0625 << QString();
    QTest::newRow("id not in the table") << page + u"%7b5A0123456789AB28,12%7d" << 200 << 0.0625 << QString();
    QTest::newRow("other parameters around")
        << QStringLiteral("/1Wire/ReadDS18B20.html?x=1&DS18B20Request=%7b") + rom + u",12%7d&y" << 200 << 0.0625
        << QString();

    QTest::newRow("8 bits") << page + u"%7b" + rom + u",8%7d" << 400 << 0.0 << QStringLiteral("resolution");
    QTest::newRow("13 bits") << page + u"%7b" + rom + u",13%7d" << 400 << 0.0 << QStringLiteral("resolution");
    QTest::newRow("resolution text") << page + u"%7b" + rom + u",1x%7d" << 400 << 0.0 << QStringLiteral("resolution");
    QTest::newRow("resolution empty") << page + u"%7b" + rom + u",%7d" << 400 << 0.0 << QStringLiteral("resolution");
    QTest::newRow("resolution 012") << page + u"%7b" + rom + u",012%7d" << 400 << 0.0 << QStringLiteral("resolution");
    QTest::newRow("bad crc") << page + u"%7b9D000000B4A89828,12%7d" << 400 << 0.0 << QStringLiteral("CRC");
    QTest::newRow("wrong family") << page + u"%7b79000000B4A89810,12%7d" << 400 << 0.0 << QStringLiteral("family");
    QTest::newRow("short id") << page + u"%7b9C000000B4A898,12%7d" << 400 << 0.0 << QStringLiteral("16 hex");
    QTest::newRow("non-hex id") << page + u"%7b9C00000XB4A89828,12%7d" << 400 << 0.0 << QStringLiteral("hex");
    QTest::newRow("no braces") << page + rom + u",12" << 400 << 0.0 << QStringLiteral("expected");
    QTest::newRow("no comma") << page + u"%7b" + rom + u"%7d" << 400 << 0.0 << QStringLiteral("expected");
    QTest::newRow("two commas") << page + u"%7b" + rom + u",12,12%7d" << 400 << 0.0 << QStringLiteral("expected");
    QTest::newRow("bad escape") << page + u"%7g" + rom + u",12%7d" << 400 << 0.0 << QStringLiteral("percent");
    QTest::newRow("no query") << QStringLiteral("/1Wire/ReadDS18B20.html") << 400 << 0.0 << QStringLiteral("missing");
    QTest::newRow("other key") << QStringLiteral("/1Wire/ReadDS18B20.html?Request=%7b") + rom + u",12%7d" << 400
                               << 0.0 << QStringLiteral("missing");
    QTest::newRow("key without value") << QStringLiteral("/1Wire/ReadDS18B20.html?DS18B20Request") << 400 << 0.0
                                       << QStringLiteral("no value");
    QTest::newRow("unknown path") << QStringLiteral("/index.html") << 404 << 0.0 << QStringLiteral("no such page");
    QTest::newRow("root") << QStringLiteral("/") << 404 << 0.0 << QStringLiteral("no such page");
    QTest::newRow("path case differs") << QStringLiteral("/1wire/readds18b20.html?DS18B20Request=%7b") + rom
                                              + u",12%7d"
                                       << 404 << 0.0 << QStringLiteral("no such page");
}

void GatewaySimTest::requestForms()
{
    QFETCH(QString, target);
    QFETCH(int, status);
    QFETCH(double, step);
    QFETCH(QString, problem);

    httplib::Client client("127.0.0.1", m_sim->port());
    client.set_url_encode(false);
    const auto res = client.Get(target.toStdString());
    QVERIFY(res);
    QCOMPARE(res->status, status);
    QVERIFY(res->get_header_value("Content-Type").rfind("text/html", 0) == 0);
    QCOMPARE(m_sim->requestTargets(), std::vector<std::string>{target.toStdString()});

    if (status != 200) {
        QVERIFY2(QString::fromStdString(res->body).contains(problem, Qt::CaseInsensitive), res->body.c_str());
        QVERIFY(!fieldValue(res->body, "Temperature_0"));
        return;
    }
    const auto rom = fieldValue(res->body, "ROMId_0");
    QVERIFY(rom);
    QVERIFY(isValidRomId(*rom));
    QVERIFY2(target.contains(QString::fromStdString(*rom), Qt::CaseInsensitive), rom->c_str());
    QCOMPARE(QString::fromStdString(*rom), QString::fromStdString(*rom).toUpper());

    const auto value = fieldValue(res->body, "Temperature_0");
    QVERIFY(value);
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d+(\\.\\d{1,4})?$")).match(QString::fromStdString(*value)).hasMatch(),
             value->c_str());
    const double celsius = std::stod(*value);
    QVERIFY2(celsius > 16.9 && celsius < 25.1, value->c_str());
    const double steps = celsius / step;
    QVERIFY2(std::abs(steps - std::round(steps)) < 1e-9, value->c_str());
}

void GatewaySimTest::faults_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<bool>("everySensor");
    QTest::addColumn<int>("status");        // 0: no answer at all
    QTest::addColumn<bool>("hasElement");
    QTest::addColumn<QString>("value");     // expected Temperature_0 value; "*" = a normal reading

    struct Row {
        const char *name;
        Fault fault;
        int status;
        bool hasElement;
        QString value;
    };
    const Row rows[] = {
        {"missing-element", Fault::MissingElement, 200, false, QString()},
        {"http-500", Fault::Http500, 500, false, QString()},
        {"close", Fault::CloseConnection, 0, false, QString()},
        {"stall", Fault::Stall, 0, false, QString()},
        {"empty-value", Fault::EmptyValue, 200, true, QString()},
        {"non-numeric", Fault::NonNumeric, 200, true, QStringLiteral("n/a")},
        {"oversized", Fault::Oversized, 200, true, QStringLiteral("*")},
        {"power-on-85", Fault::PowerOn85, 200, true, QStringLiteral("85")},
        {"none", Fault::None, 200, true, QStringLiteral("*")},
    };
    for (const Row &row : rows) {
        for (const bool every : {false, true}) {
            QTest::addRow("%s, %s", row.name, every ? "every sensor" : "one sensor")
                << int(row.fault) << every << row.status << row.hasElement << row.value;
        }
    }
}

void GatewaySimTest::faults()
{
    QFETCH(int, fault);
    QFETCH(bool, everySensor);
    QFETCH(int, status);
    QFETCH(bool, hasElement);
    QFETCH(QString, value);

    const std::string faulty = TableIds[3];
    const std::string other = TableIds[4];
    // Set in lower case: the fault must still find the sensor.
    m_sim->setFault(Fault(fault), everySensor ? std::string() : QString::fromStdString(faulty).toLower().toStdString());

    const auto check = [&](const std::string &romId, bool expectFault) {
        const RawReply reply = rawExchange(m_sim->port(), closingGet(readTarget(romId)));
        const int wantStatus = expectFault ? status : 200;
        QCOMPARE(statusOf(reply.bytes), wantStatus);
        QVERIFY(reply.closedByServer);
        if (wantStatus == 0) {
            QVERIFY(reply.bytes.empty());
            if (Fault(fault) == Fault::Stall)
                QVERIFY2(reply.elapsedMs >= 380, qPrintable(QString::number(reply.elapsedMs)));
            return;
        }
        const std::string body = bodyOf(reply.bytes);
        const auto v = fieldValue(body, "Temperature_0");
        const bool element = expectFault ? hasElement : true;
        QCOMPARE(v.has_value(), element);
        if (wantStatus == 200)
            QCOMPARE(fieldValue(body, "ROMId_0").value_or(std::string()), romId);
        if (!element)
            return;
        const QString want = expectFault ? value : QStringLiteral("*");
        if (want == u"*") {
            const double celsius = std::stod(*v);
            QVERIFY2(celsius > 16.9 && celsius < 25.1, v->c_str());
        } else {
            QCOMPARE(QString::fromStdString(*v), want);
        }
        const bool oversized = expectFault && Fault(fault) == Fault::Oversized;
        if (oversized) {
            QVERIFY(body.size() > 1024 * 1024);
            QVERIFY(body.size() >= SimulatorOptions{}.oversizeBytes);
            QVERIFY(body.rfind("Temperature_0") > body.size() - 1024);
        } else {
            QVERIFY(body.size() < 4096);
        }
    };
    check(faulty, true);
    if (QTest::currentTestFailed())
        return;
    check(other, everySensor);
    if (QTest::currentTestFailed())
        return;

    // Clearing gives the normal page back.
    m_sim->setFault(Fault::None, everySensor ? std::string() : faulty);
    const RawReply after = rawExchange(m_sim->port(), closingGet(readTarget(faulty)));
    QCOMPARE(statusOf(after.bytes), 200);
    QVERIFY(fieldValue(bodyOf(after.bytes), "Temperature_0"));
}

void GatewaySimTest::stallDoesNotHoldStop()
{
    SimulatorOptions options = fastOptions();
    options.stallMs = 30000;
    GatewaySimulator sim(options);
    QVERIFY(sim.start());
    sim.setFault(Fault::Stall);

    RawReply reply;
    std::thread client([&] { reply = rawExchange(sim.port(), closingGet(readTarget(TableIds[0])), 20s); });
    QTRY_COMPARE_WITH_TIMEOUT(sim.requestCount(), std::size_t{1}, 5000);
    QTest::qWait(50);

    QElapsedTimer timer;
    timer.start();
    sim.stop();
    const qint64 stopMs = timer.elapsed();
    client.join();
    QVERIFY2(stopMs < 1000, qPrintable(QString::number(stopMs)));
    QVERIFY(!sim.running());
    QVERIFY(reply.bytes.empty());
    QVERIFY(reply.closedByServer);
    QVERIFY(reply.elapsedMs < 5000);
}

void GatewaySimTest::rawTargetRecorded_data()
{
    QTest::addColumn<QByteArray>("target");

    QTest::newRow("logger form") << qb(readTarget(TableIds[0]));
    QTest::newRow("upper-case escapes") << qb("/1Wire/ReadDS18B20.html?DS18B20Request=%7B" + TableIds[1] + ",12%7D");
    QTest::newRow("plain braces") << qb("/1Wire/ReadDS18B20.html?DS18B20Request={" + TableIds[2] + ",12}");
    QTest::newRow("encoded comma") << qb("/1Wire/ReadDS18B20.html?DS18B20Request=%7b" + TableIds[2] + "%2C12%7d");
    QTest::newRow("plus and spaces escaped") << qb(readTarget(TableIds[0]) + "&note=a+b%20c");
    QTest::newRow("encoded path") << QByteArrayLiteral("/1Wire/Read%44S18B20.html?DS18B20Request=%7b9C000000B4A89828,12%7d");
    QTest::newRow("unknown path") << QByteArrayLiteral("/nothing/here?x=%zz");
    QTest::newRow("bad request") << QByteArrayLiteral("/1Wire/ReadDS18B20.html?DS18B20Request=%7bXYZ,12%7d");
}

void GatewaySimTest::rawTargetRecorded()
{
    QFETCH(QByteArray, target);

    const RawReply first = rawExchange(m_sim->port(), closingGet(target.toStdString()));
    QVERIFY(statusOf(first.bytes) != 0);
    const RawReply second = rawExchange(m_sim->port(), closingGet("/second"));
    QCOMPARE(statusOf(second.bytes), 404);

    QCOMPARE(m_sim->requestCount(), std::size_t{2});
    const auto targets = m_sim->requestTargets();
    QCOMPARE(targets.size(), std::size_t{2});
    QCOMPARE(qb(targets[0]), target);
    QCOMPARE(targets[1], std::string("/second"));
}

void GatewaySimTest::survivesGarbage_data()
{
    QTest::addColumn<QByteArray>("request");

    QTest::newRow("not http") << QByteArrayLiteral("HELLO\r\n\r\n");
    QTest::newRow("binary") << QByteArray("\x00\xff\x01\x80\r\n\r\n", 8);
    QTest::newRow("half a request line") << QByteArrayLiteral("GET /1Wire/Read");
    QTest::newRow("huge target") << qb("GET /1Wire/ReadDS18B20.html?DS18B20Request=" + std::string(100000, 'A')
                                       + " HTTP/1.1\r\nHost: g\r\n\r\n");
    QTest::newRow("huge parameter")
        << qb("GET /1Wire/ReadDS18B20.html?DS18B20Request=%7b" + std::string(5000, '9') + ",12%7d HTTP/1.1\r\nHost: g\r\n\r\n");
    QTest::newRow("post") << qb("POST " + readTarget(TableIds[0]) + " HTTP/1.1\r\nHost: g\r\nContent-Length: 0\r\n\r\n");
    QTest::newRow("newline in path") << QByteArrayLiteral("GET /1Wire/%0a%00.html HTTP/1.1\r\nHost: g\r\n\r\n");
}

void GatewaySimTest::survivesGarbage()
{
    QFETCH(QByteArray, request);

    const RawReply reply = rawExchange(m_sim->port(), request.toStdString(), 1s);
    const int status = statusOf(reply.bytes);
    QVERIFY2(status == 0 || (status >= 400 && status < 500), reply.bytes.substr(0, 200).c_str());

    const RawReply good = rawExchange(m_sim->port(), closingGet(readTarget(TableIds[0])));
    QCOMPARE(statusOf(good.bytes), 200);
}

void GatewaySimTest::restartOnSamePort()
{
    GatewaySimulator sim(fastOptions());
    QVERIFY(sim.start());
    const int port = sim.port();

    // A kept-alive idle connection must not hold stop() for the keep-alive timeout.
    httplib::Client client("127.0.0.1", port);
    client.set_keep_alive(true);
    client.set_connection_timeout(2);
    QVERIFY(client.Get(readTarget(TableIds[0])));

    QElapsedTimer timer;
    timer.start();
    sim.stop();
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(!sim.running());
    QCOMPARE(sim.port(), port);

    httplib::Client fresh("127.0.0.1", port);
    fresh.set_connection_timeout(1);
    const auto refused = fresh.Get(readTarget(TableIds[0]));
    QVERIFY(!refused);

    std::string error;
    QVERIFY2(sim.start(&error), error.c_str());
    QVERIFY(sim.running());
    QCOMPARE(sim.port(), port);
    // The logger's client finds its old connection gone and reconnects.
    const auto again = client.Get(readTarget(TableIds[1]));
    QVERIFY(again);
    QCOMPARE(again->status, 200);
    QCOMPARE(sim.requestCount(), std::size_t{2});

    // Starting twice is harmless; a second simulator cannot take the port.
    QVERIFY(sim.start());
    SimulatorOptions same = fastOptions();
    same.port = port;
    GatewaySimulator rival(same);
    QVERIFY(!rival.start(&error));
    QVERIFY2(error.find(std::to_string(port)) != std::string::npos, error.c_str());
}

void GatewaySimTest::keepAliveReusesConnection()
{
    const std::size_t before = m_sim->connectionCount();
    httplib::Client client("127.0.0.1", m_sim->port());
    client.set_keep_alive(true);
    for (int i = 0; i < 20; ++i) {
        const auto res = client.Get(readTarget(TableIds[static_cast<std::size_t>(i) % TableIds.size()]));
        QVERIFY(res);
        QCOMPARE(res->status, 200);
        QVERIFY(res->get_header_value("Connection") != "close");
    }
    // An error page keeps the connection too.
    QCOMPARE(client.Get("/nope")->status, 404);
    QVERIFY(client.Get(readTarget(TableIds[0])));
    QCOMPARE(m_sim->connectionCount() - before, std::size_t{1});
    QCOMPARE(m_sim->requestCount(), std::size_t{22});
}

void GatewaySimTest::pipelinedRequestsOnOneConnection()
{
    std::string requests;
    for (const auto &id : {TableIds[0], TableIds[1], TableIds[2]})
        requests += "GET " + readTarget(id) + " HTTP/1.1\r\nHost: g\r\n\r\n";
    requests += closingGet(readTarget(TableIds[3]));

    const RawReply reply = rawExchange(m_sim->port(), requests);
    QVERIFY(reply.closedByServer);
    std::size_t pos = 0;
    int answers = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const std::size_t at = reply.bytes.find("HTTP/1.1 200 OK", pos);
        QVERIFY2(at != std::string::npos, qPrintable(QString::number(answers)));
        const std::size_t rom = reply.bytes.find(TableIds[i], at);
        QVERIFY(rom != std::string::npos);
        pos = rom;
        ++answers;
    }
    QCOMPARE(answers, 4);
    QCOMPARE(m_sim->requestCount(), std::size_t{4});
}

void GatewaySimTest::noDelayReadIsFast()
{
    httplib::Client client("127.0.0.1", m_sim->port());
    client.set_keep_alive(true);
    QVERIFY(client.Get(readTarget(TableIds[0]))); // connect outside the measurement

    constexpr int Reads = 300;
    std::vector<double> micros;
    micros.reserve(Reads);
    for (int i = 0; i < Reads; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        const auto res = client.Get(readTarget(TableIds[static_cast<std::size_t>(i) % TableIds.size()]));
        const auto t1 = std::chrono::steady_clock::now();
        QVERIFY(res && res->status == 200);
        micros.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    std::sort(micros.begin(), micros.end());
    const double median = micros[micros.size() / 2];
    // Round trip on loopback, client included: an upper bound for the server's share.
    qInfo("no-delay read round trip: median %.0f us, 90th percentile %.0f us", median,
          micros[micros.size() * 9 / 10]);
    QVERIFY2(median < 1000.0, qPrintable(QString::number(median)));
}

void GatewaySimTest::conversionTimeHonoured_data()
{
    QTest::addColumn<int>("conversionMs"); // -1: the DS18B20's own time
    QTest::addColumn<int>("resolution");
    QTest::addColumn<int>("minMs");
    QTest::addColumn<int>("maxMs");

    // Upper bounds leave room for a loaded machine; each still lies below the
    // time the next resolution (or the unchanged 750 ms) would take.
    QTest::newRow("9 bits, real") << -1 << 9 << 93 << 180;
    QTest::newRow("10 bits, real") << -1 << 10 << 187 << 370;
    QTest::newRow("12 bits, overridden to 40") << 40 << 12 << 40 << 500;
    QTest::newRow("12 bits, overridden to 0") << 0 << 12 << 0 << 90;
}

void GatewaySimTest::conversionTimeHonoured()
{
    QFETCH(int, conversionMs);
    QFETCH(int, resolution);
    QFETCH(int, minMs);
    QFETCH(int, maxMs);

    SimulatorOptions options;
    options.conversionMs = conversionMs;
    GatewaySimulator sim(options);
    QVERIFY(sim.start());
    httplib::Client client("127.0.0.1", sim.port());
    client.set_keep_alive(true);
    QVERIFY(client.Get("/warm-up"));

    const auto t0 = std::chrono::steady_clock::now();
    const auto res = client.Get(readTarget(TableIds[0], resolution));
    const auto ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    QVERIFY(res && res->status == 200);
    QVERIFY2(ms >= minMs && ms < maxMs, qPrintable(QString::number(ms)));
}

void GatewaySimTest::temperaturesPlausible()
{
    const TemperatureModel model(1);
    const TemperatureModel same(1);
    const TemperatureModel other(2);
    std::vector<double> means;
    bool seedMatters = false;
    for (const auto &id : TableIds) {
        double lo = 1e9;
        double hi = -1e9;
        double sum = 0;
        double previous = model.celsius(id, 0);
        int n = 0;
        // A day, every 10 s.
        for (double t = 0; t <= 86400; t += 10, ++n) {
            const double c = model.celsius(id, t);
            QCOMPARE(c, same.celsius(id, t));
            seedMatters = seedMatters || c != other.celsius(id, t);
            lo = std::min(lo, c);
            hi = std::max(hi, c);
            sum += c;
            // Slow drift, as a room warms and cools: under 0.06 °C in 10 s.
            QVERIFY2(std::abs(c - previous) < 0.06, qPrintable(QString::number(t)));
            previous = c;
        }
        QVERIFY2(lo > 16.9 && hi < 25.1, id.c_str());
        // It does move: the swing alone spans at least 0.6 °C over a day.
        QVERIFY2(hi - lo > 0.5, id.c_str());
        means.push_back(sum / n);
    }
    QVERIFY(seedMatters);
    // Each room its own temperature: the means spread over degrees, not one value.
    const auto [minMean, maxMean] = std::minmax_element(means.begin(), means.end());
    QVERIFY(*maxMean - *minMean > 1.0);

    // Over HTTP, two reads a moment apart are the same or one step apart.
    httplib::Client client("127.0.0.1", m_sim->port());
    client.set_keep_alive(true);
    const auto a = client.Get(readTarget(TableIds[5]));
    const auto b = client.Get(readTarget(TableIds[5]));
    QVERIFY(a && b);
    const double first = std::stod(fieldValue(a->body, "Temperature_0").value_or("nan"));
    const double second = std::stod(fieldValue(b->body, "Temperature_0").value_or("nan"));
    QVERIFY(std::abs(first - second) <= 0.0625 + 1e-9);
}

void GatewaySimTest::siteBus_data()
{
    QTest::addColumn<QString>("rom");
    QTest::addColumn<int>("status");

    QTest::newRow("on the bus") << QString::fromStdString(TableIds[3]) << 200;
    QTest::newRow("on the bus, asked in lower case") << QString::fromStdString(TableIds[0]).toLower() << 200;
    QTest::newRow("valid, not on the bus") << QString::fromStdString(TableIds[1]) << 500;
    QTest::newRow("invalid stays a bad request") << QStringLiteral("9D000000B4A89828") << 400;
}

void GatewaySimTest::siteBus()
{
    QFETCH(QString, rom);
    QFETCH(int, status);
    const std::string romId = rom.toStdString();

    SimulatorOptions options = fastOptions();
    options.bus = {TableIds[0], TableIds[3]};
    GatewaySimulator sim(options);
    QVERIFY(sim.start());
    httplib::Client client("127.0.0.1", sim.port());
    const auto res = client.Get(readTarget(romId));
    QVERIFY(res);
    QCOMPARE(res->status, status);
    QCOMPARE(fieldValue(res->body, "Temperature_0").has_value(), status == 200);
    if (status == 500)
        QVERIFY2(res->body.find("no device answers to " + romId) != std::string::npos, res->body.c_str());
}

void GatewaySimTest::historyStaysBounded()
{
    // Well beyond the history the program keeps: the targets kept are the
    // newest, in order, and the count still counts every request.
    const SimulatorOptions options = fastOptions();
    const std::size_t requests = 3 * options.targetHistory + 7;
    GatewaySimulator sim(options);
    QVERIFY(sim.start());
    httplib::Client client("127.0.0.1", sim.port());
    client.set_keep_alive(true);
    for (std::size_t i = 0; i < requests; ++i)
        QVERIFY(client.Get("/n" + std::to_string(i)));
    QCOMPARE(sim.requestCount(), requests);
    const std::vector<std::string> kept = sim.requestTargets();
    QCOMPARE(kept.size(), options.targetHistory);
    for (std::size_t i = 0; i < kept.size(); ++i)
        QCOMPARE(kept[i], "/n" + std::to_string(requests - kept.size() + i));
}

QTEST_GUILESS_MAIN(GatewaySimTest)
#include "gateway_sim_test.moc"
