#include "webbrowser.h"

#include "fixtureserver.h"

#include <QApplication>
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
#include <thread>

using kestrin::WebBrowser;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

const QByteArray gatewayPath = "/1Wire/ReadDS18B20.html?DS18B20Request=%7b9C000000B4A89828,12%7d";

class TestServer final : public kestrin::testing::FixtureServer
{
public:
    TestServer()
    {
        httplib::Server &http = server();
        http.Get("/1Wire/ReadDS18B20.html", [](const httplib::Request &, httplib::Response &res) {
            res.set_content("<html><head><title>DS18B20 Read</title></head><body><table><tr><td>Temperature"
                            "</td><td><input id=Temperature_0 value=\"21.5\"></td></tr></table></body></html>",
                            "text/html");
        });
        http.Get("/page", [](const httplib::Request &, httplib::Response &res) {
            res.set_content("<input id=Temperature_0 value=7>", "text/html");
        });
        http.Get("/broken", [](const httplib::Request &, httplib::Response &res) {
            res.status = 500;
            res.set_content("<input id=Temperature_0 value=99>", "text/html");
        });
        http.Get("/big", [](const httplib::Request &, httplib::Response &res) {
            res.set_content("<input id=Temperature_0 value=1>" + std::string(4096, ' '), "text/html");
        });
        http.Get("/deep", [](const httplib::Request &, httplib::Response &res) {
            std::string page;
            for (int i = 0; i < 300; ++i)
                page += "<b>";
            res.set_content(page + "<input id=Temperature_0 value=1>", "text/html");
        });
        http.Get("/away", [](const httplib::Request &, httplib::Response &res) {
            res.set_redirect("http://127.0.0.2:9/page");
        });
        http.Get("/slow", [this](const httplib::Request &, httplib::Response &res) {
            for (int i = 0; i < 300 && !m_stopping; ++i)
                std::this_thread::sleep_for(10ms);
            res.set_content("<input id=Temperature_0 value=3>", "text/html");
        });
        start();
    }

    ~TestServer() override
    {
        m_stopping = true;
        stop();
    }

    QString url(const QByteArray &path) const { return QString::fromLatin1(FixtureServer::url(path)); }

private:
    std::atomic<bool> m_stopping{false};
};

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

// The polling cycle's wait: block in the event loop until the state is 4.
// Returns the milliseconds waited, or -1 when the guard ran out.
qint64 waitComplete(const WebBrowser &browser, const QElapsedTimer &since, int guardMs = 10000)
{
    bool guardFired = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &guard, [&] { guardFired = true; });
    guard.start(guardMs);
    while (browser.ReadyState() != 4 && !guardFired)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return guardFired ? -1 : since.elapsed();
}

} // namespace

class WebBrowserTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { m_server = std::make_unique<TestServer>(); }
    void cleanupTestCase() { m_server.reset(); }
    void blankAtStart();
    void successfulLoads();
    void failedLoad_data();
    void failedLoad();
    void slowFailureNotHeldLonger();
    void navigateWhileLoading();
    void navigateRightAfterCompletion();

private:
    std::unique_ptr<TestServer> m_server;
};

void WebBrowserTest::blankAtStart()
{
    WebBrowser browser;
    QCOMPARE(browser.ReadyState(), 0);
    QVERIFY(browser.Document() == nullptr);
    QVERIFY(browser.displayedText().isEmpty());
}

void WebBrowserTest::successfulLoads()
{
    WebBrowser browser(nullptr, WebBrowser::Options{{15000, 1048576, 5}, 3000});

    for (const QByteArray &path : {gatewayPath, QByteArray("/page")}) {
        QElapsedTimer clock;
        clock.start();
        browser.Navigate(m_server->url(path));
        QCOMPARE(browser.ReadyState(), 1);
        const qint64 waited = waitComplete(browser, clock);
        QVERIFY2(waited >= 0 && waited < 1000, QByteArray::number(waited));
        QCOMPARE(m_server->lastTarget(), path);
        QCOMPARE(browser.ReadyState(), 4);
    }

    const auto element = browser.Document()->getElementById(u"Temperature_0"_s);
    QVERIFY(element.has_value());
    QCOMPARE(element->Value().value_or(QString()), u"7"_s);

    browser.Navigate(m_server->url(gatewayPath));
    QElapsedTimer clock;
    clock.start();
    QVERIFY(waitComplete(browser, clock) >= 0);
    const QString shown = browser.displayedText();
    QVERIFY2(shown.startsWith(u"DS18B20 Read"_s), qPrintable(shown));
    QVERIFY2(shown.contains(u"Temperature [21.5]"_s), qPrintable(shown));
}

void WebBrowserTest::failedLoad_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("reason");

    QTest::newRow("connection refused")
        << u"http://127.0.0.1:%1/page"_s.arg(closedPort()) << QString();
    QTest::newRow("error status with a page of its own") << m_server->url("/broken") << u"HTTP 500"_s;
    QTest::newRow("body over the limit") << m_server->url("/big") << u"body larger than"_s;
    QTest::newRow("redirect to another host") << m_server->url("/away") << u"another host"_s;
    QTest::newRow("page refused unparsed") << m_server->url("/deep")
                                           << u"The page was not shown: it nests its elements more than 256 deep"_s;
    QTest::newRow("not http") << u"file:///etc/hostname"_s << QString();
}

void WebBrowserTest::failedLoad()
{
    QFETCH(QString, url);
    QFETCH(QString, reason);

    const int minFailedLoadMs = 400;
    WebBrowser browser(nullptr, WebBrowser::Options{{15000, 1024, 5}, minFailedLoadMs});
    QElapsedTimer clock;
    clock.start();
    browser.Navigate(url);
    QCOMPARE(browser.ReadyState(), 1);
    const qint64 waited = waitComplete(browser, clock);
    QVERIFY2(waited >= minFailedLoadMs && waited < minFailedLoadMs + 600, QByteArray::number(waited));
    QCOMPARE(browser.ReadyState(), 4);

    const kestrin::HtmlDocument *page = browser.Document();
    QVERIFY(page != nullptr);
    QVERIFY(!page->getElementById(u"Temperature_0"_s).has_value());
    QVERIFY(page->fields().isEmpty());
    QVERIFY(!page->title().isEmpty());
    QVERIFY2(page->text().contains(url), qPrintable(page->text()));
    QVERIFY2(page->text().contains(reason), qPrintable(page->text()));
    QVERIFY(browser.displayedText().contains(url));
}

void WebBrowserTest::slowFailureNotHeldLonger()
{
    WebBrowser browser(nullptr, WebBrowser::Options{{700, 1048576, 5}, 300});
    QElapsedTimer clock;
    clock.start();
    browser.Navigate(m_server->url("/slow"));
    const qint64 waited = waitComplete(browser, clock);
    QVERIFY2(waited >= 690 && waited < 1200, QByteArray::number(waited));
    QVERIFY(!browser.Document()->getElementById(u"Temperature_0"_s).has_value());
}

void WebBrowserTest::navigateWhileLoading()
{
    WebBrowser browser(nullptr, WebBrowser::Options{{15000, 1048576, 5}, 300});
    browser.Navigate(m_server->url("/slow"));
    QTest::qWait(50);
    QElapsedTimer clock;
    clock.start();
    browser.Navigate(m_server->url("/page"));
    QCOMPARE(browser.ReadyState(), 1);
    QVERIFY(waitComplete(browser, clock) >= 0);
    QCOMPARE(browser.Document()->getElementById(u"Temperature_0"_s)->Value().value_or(QString()), u"7"_s);
    // The abandoned load never completes over the page that replaced it.
    QTest::qWait(100);
    QCOMPARE(browser.ReadyState(), 4);
    QCOMPARE(browser.Document()->getElementById(u"Temperature_0"_s)->Value().value_or(QString()), u"7"_s);
}

// As the polling cycle does: the next page is asked for the moment the last
// one completed, while the view may still hold that one's redraw back. The
// view then shows the newer page, never the older one late.
void WebBrowserTest::navigateRightAfterCompletion()
{
    WebBrowser browser;
    QElapsedTimer clock;
    clock.start();
    browser.Navigate(m_server->url(gatewayPath));
    QVERIFY(waitComplete(browser, clock) >= 0);
    browser.Navigate(m_server->url("/page"));
    QCOMPARE(browser.ReadyState(), 1);
    QVERIFY(waitComplete(browser, clock) >= 0);
    QCOMPARE(browser.Document()->getElementById(u"Temperature_0"_s)->Value().value_or(QString()), u"7"_s);
    const QString shown = browser.displayedText();
    QVERIFY2(shown.contains(u"Temperature_0: 7"_s), qPrintable(shown));
    QVERIFY2(!shown.contains(u"21.5"_s), qPrintable(shown));
}

QTEST_MAIN(WebBrowserTest)
#include "webbrowser_test.moc"
