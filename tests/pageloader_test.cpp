#include "pageloader.h"

#include "fixtureserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <httplib.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

using kestrin::PageLoader;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

// The fixture server, holding back the slow routes until it is released.
class TestServer final : public kestrin::testing::FixtureServer
{
public:
    explicit TestServer(const char *host = "127.0.0.1")
        : FixtureServer(host)
    {
        server().set_keep_alive_max_count(1000);
        start();
    }
    ~TestServer() override
    {
        release = true;
        stop();
    }

    std::atomic<bool> release{false};
};

struct Outcome
{
    PageLoader::Result result;
    bool emittedInsideStart = false;
    int finishedCount = 0;
    qint64 elapsedMs = 0;
};

// Runs one load the way the program waits for pages: blocking in the event
// loop until something happens. A missing wake-up shows as the guard firing.
Outcome load(PageLoader &loader, const QByteArray &url, int guardMs = 10000)
{
    Outcome outcome;
    bool inStart = true;
    bool guardFired = false;
    const auto connection = QObject::connect(&loader, &PageLoader::finished, &loader,
                                             [&](const PageLoader::Result &result) {
        outcome.result = result;
        outcome.emittedInsideStart = outcome.emittedInsideStart || inStart;
        ++outcome.finishedCount;
    });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &guard, [&] { guardFired = true; });
    guard.start(guardMs);
    QElapsedTimer clock;
    clock.start();
    loader.start(url);
    inStart = false;
    while (outcome.finishedCount == 0 && !guardFired)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    outcome.elapsedMs = clock.elapsed();
    QObject::disconnect(connection);
    return outcome;
}

// A local port with nobody listening on it.
int closedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr *>(&address), length);
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

} // namespace

class PageLoaderTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void requestTarget_data();
    void requestTarget();
    void keepAliveReused();
    void outcomes_data();
    void outcomes();
    void connectionRefused();
    void timeout();
    void restartAbandonsRunningLoad();

private:
    std::unique_ptr<TestServer> m_server;
    std::unique_ptr<TestServer> m_otherHost;
};

void PageLoaderTest::initTestCase()
{
    m_server = std::make_unique<TestServer>();
    m_otherHost = std::make_unique<TestServer>("127.0.0.2");
    httplib::Server &server = m_server->server();
    server.Get("/1Wire/ReadDS18B20.html", [](const httplib::Request &, httplib::Response &res) {
        res.set_content("<input id=Temperature_0 value=21.5>", "text/html; charset=ISO-8859-1");
    });
    server.Get("/page", [](const httplib::Request &, httplib::Response &res) {
        res.set_content("<p>page</p>", "text/html");
    });
    server.Get(R"(/status/(\d+))", [](const httplib::Request &req, httplib::Response &res) {
        res.status = std::stoi(req.matches[1]);
        res.set_content("error body", "text/plain");
    });
    server.Get(R"(/size/(\d+))", [](const httplib::Request &req, httplib::Response &res) {
        res.set_content(std::string(std::stoul(req.matches[1]), 'x'), "text/plain");
    });
    server.Get(R"(/chunked/(\d+))", [](const httplib::Request &req, httplib::Response &res) {
        const size_t total = std::stoul(req.matches[1]);
        res.set_chunked_content_provider("text/plain", [total](size_t offset, httplib::DataSink &sink) {
            if (offset >= total) {
                sink.done();
                return true;
            }
            const std::string piece(std::min<size_t>(65536, total - offset), 'y');
            return sink.write(piece.data(), piece.size());
        });
    });
    server.Get(R"(/chain/(\d+))", [](const httplib::Request &req, httplib::Response &res) {
        const int left = std::stoi(req.matches[1]);
        if (left > 0)
            res.set_redirect("/chain/" + std::to_string(left - 1));
        else
            res.set_content("end of chain", "text/plain");
    });
    server.Get("/away", [this](const httplib::Request &, httplib::Response &res) {
        res.set_redirect(m_otherHost->url("/page").toStdString());
    });
    server.Get("/slow", [this](const httplib::Request &, httplib::Response &res) {
        for (int i = 0; i < 500 && !m_server->release; ++i)
            std::this_thread::sleep_for(10ms);
        res.set_content("late", "text/plain");
    });
    m_otherHost->server().Get("/page", [](const httplib::Request &, httplib::Response &res) {
        res.set_content("<p>elsewhere</p>", "text/html");
    });
}

void PageLoaderTest::cleanupTestCase()
{
    m_server.reset();
    m_otherHost.reset();
}

void PageLoaderTest::requestTarget_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::newRow("gateway query, lower-case escapes, plain comma")
        << QByteArray("/1Wire/ReadDS18B20.html?DS18B20Request=%7b9C000000B4A89828,12%7d");
    QTest::newRow("mixed-case escapes kept")
        << QByteArray("/1Wire/ReadDS18B20.html?DS18B20Request=%7B06000000A4EC7428,12%7d&x=%2c");
}

void PageLoaderTest::requestTarget()
{
    QFETCH(QByteArray, target);
    PageLoader loader;
    const size_t before = m_server->targets().size();
    const Outcome outcome = load(loader, m_server->url(target));
    QVERIFY2(outcome.result.ok, qPrintable(outcome.result.error));
    QVERIFY(!outcome.emittedInsideStart);
    QCOMPARE(outcome.result.httpStatus, 200);
    QCOMPARE(outcome.result.body, QByteArray("<input id=Temperature_0 value=21.5>"));
    QCOMPARE(outcome.result.contentType, QByteArray("text/html; charset=ISO-8859-1"));
    QCOMPARE(outcome.result.finalUrl, m_server->url(target));
    const auto targets = m_server->targets();
    QCOMPARE(targets.size(), before + 1);
    QCOMPARE(QByteArray::fromStdString(targets.back()), target);
}

void PageLoaderTest::keepAliveReused()
{
    TestServer server;
    server.server().Get("/page", [](const httplib::Request &, httplib::Response &res) {
        res.set_content("<p>page</p>", "text/html");
    });
    PageLoader loader;
    for (int i = 0; i < 20; ++i)
        QVERIFY(load(loader, server.url("/page")).result.ok);
    QCOMPARE(server.targets().size(), size_t(20));
    QCOMPARE(server.connections(), size_t(1));
}

void PageLoaderTest::outcomes_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("error");
    QTest::addColumn<qint64>("bodySize"); // -1: not checked
    QTest::addColumn<int>("requests");

    QTest::newRow("500 keeps its body") << QByteArray("/status/500") << false << 500 << u"HTTP 500"_s << 10LL << 1;
    QTest::newRow("404") << QByteArray("/status/404") << false << 404 << u"HTTP 404"_s << -1LL << 1;
    QTest::newRow("204 is a success") << QByteArray("/status/204") << true << 204 << QString() << 0LL << 1;
    QTest::newRow("body at the limit") << QByteArray("/size/1048576") << true << 200 << QString() << 1048576LL << 1;
    QTest::newRow("body over the limit") << QByteArray("/size/1048577") << false << 200
                                         << u"body larger than 1 MiB"_s << 0LL << 1;
    QTest::newRow("chunked body over the limit") << QByteArray("/chunked/1048577") << false << 200
                                                 << u"body larger than 1 MiB"_s << 0LL << 1;
    QTest::newRow("five redirects followed") << QByteArray("/chain/5") << true << 200 << QString() << 12LL << 6;
    QTest::newRow("six redirects refused") << QByteArray("/chain/6") << false << 302
                                           << u"too many redirects"_s << 0LL << 6;
    QTest::newRow("redirect to another host refused") << QByteArray("/away") << false << 302
                                                      << u"redirect to another host refused"_s << 0LL << 1;
}

void PageLoaderTest::outcomes()
{
    QFETCH(QByteArray, path);
    QFETCH(bool, ok);
    QFETCH(int, status);
    QFETCH(QString, error);
    QFETCH(qint64, bodySize);
    QFETCH(int, requests);

    PageLoader loader;
    const size_t before = m_server->targets().size();
    const Outcome outcome = load(loader, m_server->url(path));
    QCOMPARE(outcome.finishedCount, 1);
    QVERIFY(!outcome.emittedInsideStart);
    QCOMPARE(outcome.result.ok, ok);
    QCOMPARE(outcome.result.httpStatus, status);
    if (ok)
        QVERIFY(outcome.result.error.isEmpty());
    else
        QVERIFY2(outcome.result.error.contains(error), qPrintable(outcome.result.error));
    if (bodySize >= 0)
        QCOMPARE(outcome.result.body.size(), bodySize);
    QCOMPARE(m_server->targets().size() - before, size_t(requests));
    QVERIFY(m_otherHost->targets().empty());
}

void PageLoaderTest::connectionRefused()
{
    PageLoader loader;
    const Outcome outcome = load(loader, "http://127.0.0.1:" + QByteArray::number(closedPort()) + "/page");
    QCOMPARE(outcome.finishedCount, 1);
    QVERIFY(!outcome.emittedInsideStart);
    QVERIFY(!outcome.result.ok);
    QCOMPARE(outcome.result.httpStatus, 0);
    QVERIFY(!outcome.result.error.isEmpty());
    QVERIFY(outcome.elapsedMs < 5000);
}

void PageLoaderTest::timeout()
{
    PageLoader loader(nullptr, PageLoader::Options{300, 1048576, 5});
    m_server->release = false;
    const Outcome outcome = load(loader, m_server->url("/slow"));
    QVERIFY(!outcome.result.ok);
    QVERIFY2(outcome.result.error.contains(u"timed out"_s, Qt::CaseInsensitive), qPrintable(outcome.result.error));
    QVERIFY2(outcome.elapsedMs >= 290 && outcome.elapsedMs < 2000, QByteArray::number(outcome.elapsedMs));
}

void PageLoaderTest::restartAbandonsRunningLoad()
{
    PageLoader loader;
    int count = 0;
    QByteArray body;
    connect(&loader, &PageLoader::finished, this, [&](const PageLoader::Result &result) {
        ++count;
        body = result.body;
    });
    m_server->release = false;
    loader.start(m_server->url("/slow"));
    QTest::qWait(100); // the slow request is now on the wire
    loader.start(m_server->url("/page"));
    QTRY_COMPARE_WITH_TIMEOUT(count, 1, 5000);
    QCOMPARE(body, QByteArray("<p>page</p>"));
    m_server->release = true;
    QTest::qWait(200);
    QCOMPARE(count, 1);
}

QTEST_GUILESS_MAIN(PageLoaderTest)
#include "pageloader_test.moc"
