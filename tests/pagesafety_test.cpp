// Whatever a gateway's page holds, the program only shows it and reads one
// value from it: no script runs, nothing else is fetched from anywhere, no
// redirect leads away from the gateway, and nothing lands on disk but the
// log and, at close, the settings.

#include "fakeservices.h"
#include "frmmain.h"
#include "settingsstore.h"
#include "webbrowser.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// The target's definitions make this match Debian's build of the library.
#include <httplib.h>

#include <chrono>
#include <map>
#include <mutex>
#include <thread>

using namespace kestrin;
using namespace kestrin::testing;
using namespace std::chrono_literals;

namespace {

constexpr int Sensors = 11;
const std::string GatewayPath = "/1Wire/ReadDS18B20.html";
// Anything a server answers on a path the program was never sent to: if
// this value shows up as a reading, something followed the page's lead.
const std::string BaitPage = "<html><body><input id=\"Temperature_0\" value=\"99\">SCRIPT RAN</body></html>";

struct Reply
{
    int status = 200;
    std::string body = BaitPage;
    std::multimap<std::string, std::string> headers;
};

// A small HTTP server on its own thread that answers every path from a
// table and records each request it receives.
class FixtureServer final
{
public:
    explicit FixtureServer(const char *address) : m_address(address)
    {
        m_server.set_tcp_nodelay(true);
        m_server.set_pre_routing_handler([this](const httplib::Request &req, httplib::Response &res) {
            const std::lock_guard lock(m_mutex);
            m_targets.push_back(req.target);
            const auto it = m_replies.find(req.path);
            const Reply reply = it != m_replies.end() ? it->second : Reply{};
            res.status = reply.status;
            for (const auto &[name, value] : reply.headers)
                res.set_header(name, value);
            res.set_content(reply.body, "text/html");
            return httplib::Server::HandlerResponse::Handled;
        });
        port = m_server.bind_to_any_port(address);
        if (port <= 0)
            return;
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        while (!m_server.is_running())
            std::this_thread::sleep_for(1ms);
    }

    ~FixtureServer()
    {
        m_server.stop();
        if (m_thread.joinable())
            m_thread.join();
    }

    bool listening() const { return port > 0; }
    QByteArray origin() const { return m_address + ':' + QByteArray::number(port); }

    void reply(const std::string &path, Reply reply)
    {
        const std::lock_guard lock(m_mutex);
        m_replies[path] = std::move(reply);
    }

    std::vector<std::string> targets() const
    {
        const std::lock_guard lock(m_mutex);
        return m_targets;
    }

    void clearTargets()
    {
        const std::lock_guard lock(m_mutex);
        m_targets.clear();
    }

    int port = 0;

private:
    QByteArray m_address;
    httplib::Server m_server;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::map<std::string, Reply> m_replies;
    std::vector<std::string> m_targets;
};

// Path, size and a hash of every file below root, hidden ones included.
std::map<QString, QByteArray> snapshot(const QString &root)
{
    std::map<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        QByteArray digest = "unreadable";
        if (file.open(QIODevice::ReadOnly))
            digest = QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1).toHex();
        files[path] = digest;
    }
    return files;
}

// The files that are new, changed or gone between two snapshots.
QStringList changes(const std::map<QString, QByteArray> &before, const std::map<QString, QByteArray> &after)
{
    QStringList changed;
    for (const auto &[path, digest] : after) {
        const auto it = before.find(path);
        if (it == before.end() || it->second != digest)
            changed << path;
    }
    for (const auto &[path, digest] : before) {
        if (!after.count(path))
            changed << path;
    }
    changed.sort();
    return changed;
}

} // namespace

class PageSafetyTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void pageIsOnlyShown_data();
    void pageIsOnlyShown();
    void redirectAwayIsRefused_data();
    void redirectAwayIsRefused();
    void nothingWrittenButLogAndSettings();

private:
    // Puts the placeholders' addresses into a page or header text.
    std::string expand(QByteArray text) const;
    // The sensor page, with `markup` around the Temperature_0 element (at
    // {ELEMENT}, or after the markup).
    std::string gatewayPage(const QByteArray &markup, const QByteArray &value = "21.5") const;
    std::unique_ptr<frmMain> makeWindow(FakeServices &fakes);
    // Runs one pass and then lets the event loop run on a little, so that
    // anything the page scheduled would have happened by then.
    bool passAndLinger(frmMain &window);
    QString browserText(frmMain &window) const
    {
        return window.findChild<WebBrowser *>(QStringLiteral("brwWebBrowser"))->displayedText();
    }

    std::unique_ptr<FixtureServer> m_gateway;
    std::unique_ptr<FixtureServer> m_otherAddress; // another host
    std::unique_ptr<FixtureServer> m_otherPort;    // the gateway's host, another port
};

void PageSafetyTest::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void PageSafetyTest::init()
{
    m_gateway = std::make_unique<FixtureServer>("127.0.0.1");
    m_otherAddress = std::make_unique<FixtureServer>("127.0.0.2");
    m_otherPort = std::make_unique<FixtureServer>("127.0.0.1");
    QVERIFY(m_gateway->listening());
    QVERIFY2(m_otherAddress->listening(), "cannot listen on 127.0.0.2");
    QVERIFY(m_otherPort->listening());
}

void PageSafetyTest::cleanup()
{
    m_gateway.reset();
    m_otherAddress.reset();
    m_otherPort.reset();
}

std::string PageSafetyTest::expand(QByteArray text) const
{
    text.replace("{OTHER}", m_otherAddress->origin());
    text.replace("{PORT}", m_otherPort->origin());
    text.replace("{SELF}", m_gateway->origin());
    text.replace("{SELFPORT}", QByteArray::number(m_gateway->port));
    return text.toStdString();
}

std::string PageSafetyTest::gatewayPage(const QByteArray &markup, const QByteArray &value) const
{
    const QByteArray element = "<input type=\"text\" id=\"Temperature_0\" value=\"" + value + "\" readonly>";
    QByteArray body = markup.contains("{ELEMENT}") ? QByteArray(markup).replace("{ELEMENT}", element)
                                                   : markup + element;
    return expand("<html><head><title>DS18B20 Read</title></head><body><form>" + body + "</form></body></html>");
}

std::unique_ptr<frmMain> PageSafetyTest::makeWindow(FakeServices &fakes)
{
    WebBrowser::Options browser;
    browser.loader.timeoutMs = 2000;
    browser.minFailedLoadMs = 20;
    auto window = std::make_unique<frmMain>(
        fakes.services(QString::fromLatin1(m_gateway->origin()), browser));
    window->cycle().prepare();
    return window;
}

bool PageSafetyTest::passAndLinger(frmMain &window)
{
    const bool completed = window.cycle().runPass(Sensors);
    QTest::qWait(300);
    return completed;
}

void PageSafetyTest::pageIsOnlyShown_data()
{
    QTest::addColumn<QByteArray>("markup");
    QTest::addColumn<QByteArray>("headers"); // "Name: value" lines

    // Scripts that would change the reading, the view or the address.
    QTest::newRow("script sets the value")
        << QByteArray("{ELEMENT}<script>document.getElementById('Temperature_0').value = '99';"
                      "document.title = 'SCRIPT RAN';</script>")
        << QByteArray();
    QTest::newRow("script writes an element before the real one")
        << QByteArray("<script>document.write('<input id=\"Temperature_0\" value=\"99\">SCRIPT RAN');</script>"
                      "{ELEMENT}")
        << QByteArray();
    QTest::newRow("script replaces the body")
        << QByteArray("{ELEMENT}<script>document.body.innerHTML = '<input id=Temperature_0 value=99>SCRIPT RAN';"
                      "</script>")
        << QByteArray();
    QTest::newRow("event handlers")
        << QByteArray("{ELEMENT}<img src=\"x\" onerror=\"document.getElementById('Temperature_0').value=99\">"
                      "<svg onload=\"document.write('SCRIPT RAN')\"></svg>"
                      "<body onload=\"document.body.textContent='SCRIPT RAN'\">")
        << QByteArray();
    QTest::newRow("script navigates elsewhere")
        << QByteArray("{ELEMENT}<script>location.href = 'http://{OTHER}/navigated';"
                      "window.open('http://{PORT}/opened');</script>")
        << QByteArray();
    QTest::newRow("script navigates within the gateway")
        << QByteArray("{ELEMENT}<script>setTimeout(function () { location.reload(); }, 0);"
                      "location.assign('/navigated');</script>")
        << QByteArray();
    QTest::newRow("scripts from elsewhere")
        << QByteArray("<script src=\"http://{OTHER}/evil.js\"></script><script src=\"/local.js\"></script>"
                      "<script type=\"module\">import 'http://{PORT}/m.js';</script>{ELEMENT}")
        << QByteArray();
    QTest::newRow("javascript addresses")
        << QByteArray("{ELEMENT}<iframe src=\"javascript:parent.location='http://{OTHER}/js'\"></iframe>"
                      "<a href=\"javascript:document.write('SCRIPT RAN')\">go</a>")
        << QByteArray();

    // Everything a browser would fetch or follow by itself.
    QTest::newRow("links")
        << QByteArray("<a href=\"http://{OTHER}/link\">elsewhere</a> <a href=\"/same\">here</a>{ELEMENT}")
        << QByteArray();
    QTest::newRow("images")
        << QByteArray("<img src=\"http://{OTHER}/a.png\"><img src=\"/b.png\" srcset=\"http://{PORT}/c.png 2x\">"
                      "<picture><source srcset=\"http://{OTHER}/d.webp\"><img src=\"/e.png\"></picture>{ELEMENT}"
                      "<input type=\"image\" src=\"http://{OTHER}/button.png\">")
        << QByteArray();
    QTest::newRow("frames and objects")
        << QByteArray("<iframe src=\"http://{OTHER}/frame\"></iframe><iframe src=\"/local-frame\"></iframe>"
                      "<object data=\"http://{PORT}/object\"></object><embed src=\"http://{OTHER}/embed\">{ELEMENT}")
        << QByteArray();
    QTest::newRow("style sheets")
        << QByteArray("<link rel=\"stylesheet\" href=\"http://{OTHER}/s.css\"><link rel=stylesheet href=/l.css>"
                      "<style>@import url(http://{PORT}/i.css); body { background: url(/bg.png) }</style>"
                      "<div style=\"background-image: url(http://{OTHER}/div.png)\">{ELEMENT}</div>")
        << QByteArray();
    QTest::newRow("meta refresh elsewhere")
        << QByteArray("<meta http-equiv=\"refresh\" content=\"0; url=http://{OTHER}/refresh\">{ELEMENT}")
        << QByteArray();
    QTest::newRow("meta refresh within the gateway")
        << QByteArray("<meta http-equiv=\"refresh\" content=\"0\"><meta http-equiv=refresh content=\"0;url=/r\">"
                      "{ELEMENT}")
        << QByteArray();
    QTest::newRow("hints, icons and a base")
        << QByteArray("<link rel=\"prefetch\" href=\"http://{OTHER}/prefetch\"><link rel=preload href=/p as=image>"
                      "<link rel=\"icon\" href=\"http://{PORT}/icon.png\"><link rel=dns-prefetch href=//{OTHER}>"
                      "<base href=\"http://{OTHER}/\"><img src=\"relative.png\">{ELEMENT}")
        << QByteArray();
    QTest::newRow("media")
        << QByteArray("<video poster=\"http://{OTHER}/poster.jpg\" src=\"/v.mp4\" autoplay></video>"
                      "<audio src=\"http://{PORT}/a.mp3\" autoplay></audio>{ELEMENT}")
        << QByteArray();
    QTest::newRow("form that submits itself")
        << QByteArray("{ELEMENT}</form><form id=\"f\" action=\"http://{OTHER}/post\" method=\"post\">"
                      "<input name=\"q\" value=\"1\" autofocus onfocus=\"this.form.submit()\"></form>"
                      "<script>document.getElementById('f').submit();</script><form>")
        << QByteArray();
    QTest::newRow("headers that refresh and link")
        << QByteArray("{ELEMENT}")
        << QByteArray("Refresh: 0; url=http://{OTHER}/header-refresh\n"
                      "Link: <http://{PORT}/l.css>; rel=stylesheet\n"
                      "Link: </preload.png>; rel=preload; as=image\n"
                      "Content-Location: http://{OTHER}/content-location");
}

void PageSafetyTest::pageIsOnlyShown()
{
    QFETCH(QByteArray, markup);
    QFETCH(QByteArray, headers);

    Reply page;
    page.body = gatewayPage(markup);
    for (const QByteArray &line : headers.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            page.headers.emplace(line.left(colon).toStdString(), expand(line.mid(colon + 1).trimmed()));
    }
    m_gateway->reply(GatewayPath, page);

    FakeServices fakes;
    auto window = makeWindow(fakes);
    QVERIFY(passAndLinger(*window));

    // The reading came from the element's value attribute, nowhere else.
    for (qint16 i = 0; i < Sensors; ++i)
        QCOMPARE(window->cycle().table().reading(i).value(), 21.5f);
    QCOMPARE(window->findChild<QLineEdit *>(QStringLiteral("txtTemperature"))->text(), QStringLiteral("21.5"));
    const QString shown = browserText(*window);
    QVERIFY2(shown.contains(QStringLiteral("DS18B20 Read")), qPrintable(shown));
    QVERIFY2(!shown.contains(QStringLiteral("SCRIPT RAN")), qPrintable(shown));
    QVERIFY2(!shown.contains(QStringLiteral("99")), qPrintable(shown));

    // One request per navigation, each for the sensor page; none elsewhere.
    const std::vector<std::string> targets = m_gateway->targets();
    QCOMPARE(targets.size(), std::size_t(Sensors));
    for (qint16 i = 0; i < Sensors; ++i) {
        const QString url = window->cycle().table().url(i).value();
        QCOMPARE(QString::fromStdString("http://" + m_gateway->origin().toStdString() + targets.at(std::size_t(i))),
                 url);
    }
    QCOMPARE(m_otherAddress->targets().size(), std::size_t(0));
    QCOMPARE(m_otherPort->targets().size(), std::size_t(0));
    QCOMPARE(fakes.messageBox.shown.size(), 0);
}

void PageSafetyTest::redirectAwayIsRefused_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("location");
    QTest::addColumn<bool>("followed");

    QTest::newRow("another address") << 302 << QByteArray("http://{OTHER}/moved") << false;
    QTest::newRow("the gateway's address, another port") << 301 << QByteArray("http://{PORT}/moved") << false;
    QTest::newRow("the gateway under another name") << 307 << QByteArray("http://localhost:{SELFPORT}/moved")
                                                    << false;
    QTest::newRow("scheme-relative, elsewhere") << 308 << QByteArray("//{OTHER}/moved") << false;
    QTest::newRow("https, elsewhere") << 303 << QByteArray("https://{OTHER}/moved") << false;
    QTest::newRow("with credentials, elsewhere") << 302 << QByteArray("http://user:secret@{OTHER}/moved") << false;
    QTest::newRow("a local file") << 302 << QByteArray("file:///etc/hostname") << false;
    QTest::newRow("ftp, elsewhere") << 301 << QByteArray("ftp://{OTHER}/moved") << false;
    // The rule is about hosts, not about redirects as such.
    QTest::newRow("within the gateway, relative") << 302 << QByteArray("/moved") << true;
    QTest::newRow("within the gateway, absolute") << 307 << QByteArray("http://{SELF}/moved") << true;
}

void PageSafetyTest::redirectAwayIsRefused()
{
    QFETCH(int, status);
    QFETCH(QByteArray, location);
    QFETCH(bool, followed);

    Reply moved;
    moved.body = gatewayPage("<p>moved here</p>", "23.25");
    m_gateway->reply("/moved", moved);
    Reply page;
    page.body = gatewayPage("");
    m_gateway->reply(GatewayPath, page);

    FakeServices fakes;
    auto window = makeWindow(fakes);
    QVERIFY(window->cycle().runPass(Sensors)); // every sensor read once: 21.5
    m_gateway->clearTargets();

    Reply redirect;
    redirect.status = status;
    redirect.body = "<html><body>Moved <input id=\"Temperature_0\" value=\"98\"></body></html>";
    redirect.headers.emplace("Location", expand(location));
    m_gateway->reply(GatewayPath, redirect);
    QVERIFY(passAndLinger(*window));

    const float expected = followed ? 23.25f : 21.5f; // else the last good value stands
    for (qint16 i = 0; i < Sensors; ++i)
        QCOMPARE(window->cycle().table().reading(i).value(), expected);
    QCOMPARE(m_gateway->targets().size(), std::size_t(followed ? 2 * Sensors : Sensors));
    QCOMPARE(m_otherAddress->targets().size(), std::size_t(0));
    QCOMPARE(m_otherPort->targets().size(), std::size_t(0));
    const QString shown = browserText(*window);
    if (!followed)
        QVERIFY2(shown.contains(QStringLiteral("Page not available")), qPrintable(shown));
}

void PageSafetyTest::nothingWrittenButLogAndSettings()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString logDir = root.filePath(QStringLiteral("logs"));
    const QString home = root.filePath(QStringLiteral("home"));
    const QString work = root.filePath(QStringLiteral("work"));
    for (const QString &dir : {logDir, home, work, root.filePath(QStringLiteral("tmp"))})
        QVERIFY(QDir().mkpath(dir));

    // Every per-user place a program could write to lies inside root.
    const QString oldCurrent = QDir::currentPath();
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", home.toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home + QStringLiteral("/.config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home + QStringLiteral("/.local/share")).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (home + QStringLiteral("/.cache")).toLocal8Bit());
    qputenv("XDG_STATE_HOME", (home + QStringLiteral("/.local/state")).toLocal8Bit());
    qputenv("TMPDIR", root.filePath(QStringLiteral("tmp")).toLocal8Bit());
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(QDir::setCurrent(work));
    const auto restore = qScopeGuard([&] {
        QDir::setCurrent(oldCurrent);
        qputenv("HOME", oldHome);
        for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "TMPDIR"})
            qunsetenv(name);
        QStandardPaths::setTestModeEnabled(false);
    });

    // A page that asks for things to be stored: cookies, a download, web
    // storage, an offline cache.
    Reply page;
    page.body = expand(
        "<html manifest=\"/offline.appcache\"><head><title>DS18B20 Read</title></head><body>"
        "<input id=\"Temperature_0\" value=\"21.5\">"
        "<a href=\"/data.csv\" download=\"dropped.csv\">save</a>"
        "<script>localStorage.setItem('k', 'v'); document.cookie = 'script=1; max-age=99999';"
        "indexedDB.open('db');</script></body></html>");
    page.headers.emplace("Set-Cookie", "session=1; Max-Age=99999; Path=/");
    page.headers.emplace("Content-Disposition", "attachment; filename=\"dropped.html\"");
    m_gateway->reply(GatewayPath, page);

    const std::map<QString, QByteArray> before = snapshot(root.path());
    QVERIFY(before.empty());

    FakeServices fakes;
    QtSettingsStore settings;
    MainWindowServices services = fakes.services(QString::fromLatin1(m_gateway->origin()));
    MainWindowServices withStore{
        .messageBox = services.messageBox,
        .commonDialog = services.commonDialog,
        .settings = settings,
        .helpViewer = services.helpViewer,
        .registry = services.registry,
        .system = services.system,
        .windowFrame = services.windowFrame,
        .endProcess = services.endProcess,
        .clock = services.clock,
        .browserOptions = services.browserOptions,
        .gatewayHost = services.gatewayHost,
    };
    auto window = std::make_unique<frmMain>(withStore);
    window->cycle().prepare();

    const QString logPath = QDir(logDir).filePath(QStringLiteral("log.txt"));
    fakes.dialog.answers = {logPath};
    window->findChild<QPushButton *>(QStringLiteral("btnFileWrite"))->click();
    QCOMPARE(window->loggingFlag(), qint16(-1));
    for (int pass = 0; pass < 3; ++pass)
        QVERIFY(window->cycle().runPass(Sensors));
    QTest::qWait(200);
    QCOMPARE(window->cycle().table().reading(0).value(), 21.5f);

    QCOMPARE(changes(before, snapshot(root.path())), QStringList{logPath});

    window->findChild<QPushButton *>(QStringLiteral("btnStop"))->click();
    QCOMPARE(fakes.ends, 1);
    const QString settingsFile = QDir::fromNativeSeparators(settings.location());
    QVERIFY2(settingsFile.startsWith(home), qPrintable(settingsFile));
    QStringList expected = {logPath, settingsFile};
    expected.sort();
    QCOMPARE(changes(before, snapshot(root.path())), expected);
    QCOMPARE(m_otherAddress->targets().size(), std::size_t(0));
}

QTEST_MAIN(PageSafetyTest)
#include "pagesafety_test.moc"
