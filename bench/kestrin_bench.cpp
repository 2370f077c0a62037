// Measurements of the logger against a gateway simulator running as its own
// process (so its CPU time is not counted as ours).
//
//   kestrin_bench throughput SIM_HOST READS     reads/s of the window vs a bare curl loop,
//                                               with the frames it painted
//   kestrin_bench memory SIM_HOST READS CHECKPOINT...   memory and CPU per read at read counts, logging on
//   kestrin_bench cpu SIM_HOST SECONDS          CPU share while reading at the real pace
//   kestrin_bench record DIR RECORDS            cost of one record step, sync included
//   kestrin_bench pagefreeze ADDRESS RUNS       longest GUI-thread block over the adversarial pages
//
// Every figure is printed as "name value unit" on its own line.

#include "adversarialpages.h"
#include "commondialog.h"
#include "frmmain.h"
#include "helpviewer.h"
#include "logrecord.h"
#include "logwriter.h"
#include "messagebox.h"
#include "registry.h"
#include "settingsstore.h"
#include "systemservices.h"
#include "webbrowser.h"
#include "windowframe.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <curl/curl.h>
#include <httplib.h>
#include <sys/resource.h>

#include <algorithm>
#include <map>
#include <cstdio>
#include <thread>
#include <vector>

using namespace kestrin;

namespace {

// Answers the Start Logging dialog with a fixed file.
class FixedDialog final : public CommonDialog
{
public:
    QString path;

protected:
    std::optional<QString> runOpenDialog(QWidget *, const QString &, const QStringList &, const QString &) override
    {
        return path;
    }
    bool runPrinterDialog(QWidget *, const QString &) override { return false; }
};

class SilentBox final : public MessageBoxService
{
public:
    void MsgBox(QWidget *, const QString &prompt, int, const QString &) override
    {
        std::fprintf(stderr, "message box: %s\n", qPrintable(prompt));
    }
};

struct Harness
{
    SilentBox messageBox;
    FixedDialog dialog;
    QTemporaryDir dir;
    QtSettingsStore settings{dir.filePath(QStringLiteral("settings.ini"))};
    std::unique_ptr<HelpViewer> help = makePlatformHelpViewer();
    StandInRegistry registry;
    PlatformSystemServices system;
    PlatformWindowFrame windowFrame;
    std::unique_ptr<frmMain> window;

    explicit Harness(const QString &host)
    {
        window = std::make_unique<frmMain>(MainWindowServices{
            .messageBox = messageBox,
            .commonDialog = dialog,
            .settings = settings,
            .helpViewer = *help,
            .registry = registry,
            .system = system,
            .windowFrame = windowFrame,
            .endProcess = {},
            .gatewayHost = host,
        });
        window->cycle().prepare();
    }

    void startLogging(const QString &path)
    {
        dialog.path = path;
        window->btnFileWrite_Click();
    }

    // Reads `count` sensors, pass after pass, as the running program does.
    void read(long count)
    {
        const qint16 n = window->cycle().sensorCount();
        qint16 slot = 0;
        for (long i = 0; i < count; ++i) {
            window->cycle().readSlot(slot);
            if (++slot == n) {
                slot = 0;
                // Only the record step: the slots were read one by one above.
                window->cycle().runPass(0);
            }
        }
    }
};

long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').constFirst().toLong();
    }
    return -1;
}

double cpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Counts the paints of the controls that change with every read.
class PaintCounter final : public QObject
{
public:
    explicit PaintCounter(frmMain &window)
    {
        const char *names[] = {"cboAddress", "txtSensorNum", "txtTemperature", "pageView"};
        for (const char *name : names) {
            auto *widget = window.findChild<QWidget *>(QString::fromLatin1(name));
            if (auto *view = qobject_cast<QAbstractScrollArea *>(widget))
                widget = view->viewport();
            if (!widget)
                continue;
            widget->installEventFilter(this);
            m_paints[widget] = 0;
            m_names[widget] = QString::fromLatin1(name);
        }
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++m_paints[watched];
        return false;
    }
    // The control painted least often, and how often.
    std::pair<QString, long> least() const
    {
        auto it = std::min_element(m_paints.begin(), m_paints.end(),
                                   [](const auto &a, const auto &b) { return a.second < b.second; });
        return it == m_paints.end() ? std::pair<QString, long>{} : std::pair{m_names.at(it->first), it->second};
    }
    void reset()
    {
        for (auto &p : m_paints)
            p.second = 0;
    }

private:
    std::map<QObject *, long> m_paints;
    std::map<QObject *, QString> m_names;
};

size_t discard(char *, size_t size, size_t count, void *)
{
    return size * count;
}

// The floor: one easy handle, keep-alive, the same URLs, nothing else.
class BareCurl
{
public:
    explicit BareCurl(const QString &host)
    {
        for (const char *id : SensorTable::romIds())
            m_urls.push_back(SensorTable::urlFor(host, QString::fromLatin1(id)).toLatin1());
        m_urls.resize(SensorTable::DefaultSensorCount);
        m_curl = curl_easy_init();
        curl_easy_setopt(m_curl, CURLOPT_WRITEFUNCTION, discard);
    }
    ~BareCurl() { curl_easy_cleanup(m_curl); }

    void read(long count)
    {
        for (long i = 0; i < count; ++i) {
            curl_easy_setopt(m_curl, CURLOPT_URL, m_urls[std::size_t(m_next++) % m_urls.size()].constData());
            curl_easy_perform(m_curl);
        }
    }

private:
    std::vector<QByteArray> m_urls;
    CURL *m_curl = nullptr;
    long m_next = 0;
};

int throughput(const QString &host, long reads)
{
    Harness harness(host);
    BareCurl bare(host);
    harness.read(SensorTable::DefaultSensorCount); // connect and warm up
    bare.read(SensorTable::DefaultSensorCount);
    PaintCounter paints(*harness.window);
    const qint64 frames0 = harness.window->framesPainted();

    // Interleaved rounds, so that whatever else the machine does weighs on both alike.
    constexpr int rounds = 10;
    const long perRound = std::max(1L, reads / rounds);
    qint64 oursNs = 0, bareNs = 0;
    double oursCpu = 0, bareCpu = 0;
    for (int r = 0; r < rounds; ++r) {
        QElapsedTimer clock;
        double cpu0 = cpuSeconds();
        clock.start();
        harness.read(perRound);
        oursNs += clock.nsecsElapsed();
        oursCpu += cpuSeconds() - cpu0;

        cpu0 = cpuSeconds();
        clock.start();
        bare.read(perRound);
        bareNs += clock.nsecsElapsed();
        bareCpu += cpuSeconds() - cpu0;
    }
    const double total = double(perRound * rounds);
    const double ours = total / (double(oursNs) / 1e9);
    const double theirs = total / (double(bareNs) / 1e9);
    const double seconds = double(oursNs) / 1e9;
    const auto [least, leastPaints] = paints.least();
    std::printf("window_reads_per_second %.0f reads/s\n", ours);
    std::printf("window_frames_per_second %.1f frames/s (%s)\n",
                double(harness.window->framesPainted() - frames0) / seconds, QGuiApplication::platformName().toLatin1().constData());
    std::printf("least_painted_control %s %.1f paints/s\n", qPrintable(least), double(leastPaints) / seconds);
    std::printf("bare_curl_reads_per_second %.0f reads/s\n", theirs);
    std::printf("ratio %.2f\n", ours / theirs);
    std::printf("window_cpu_per_read %.0f us\n", oursCpu / total * 1e6);
    std::printf("bare_curl_cpu_per_read %.0f us\n", bareCpu / total * 1e6);
    return 0;
}

int memory(const QString &host, long reads, const std::vector<long> &checkpoints)
{
    Harness harness(host);
    const QString log = harness.dir.filePath(QStringLiteral("memory.log"));
    harness.startLogging(log);
    long done = 0;
    for (const long at : checkpoints) {
        const double cpu0 = cpuSeconds();
        harness.read(at - done);
        const double perRead = (cpuSeconds() - cpu0) / double(at - done) * 1e6;
        done = at;
        std::printf("after_%ld_reads rss %ld KiB, cpu %.0f us per read since the last checkpoint\n", at,
                    residentKiB(), perRead);
        std::fflush(stdout);
    }
    if (done < reads)
        harness.read(reads - done);
    QFile file(log);
    long lines = 0;
    if (file.open(QIODevice::ReadOnly)) {
        while (!file.atEnd())
            if (file.readLine().endsWith("\r\n"))
                ++lines;
    }
    std::printf("records_counted %lld\n", static_cast<long long>(harness.window->recordCounter() - 1));
    std::printf("log_lines %ld\n", lines);
    return 0;
}

int cpu(const QString &host, int seconds)
{
    Harness harness(host);
    harness.read(SensorTable::DefaultSensorCount);
    const double before = cpuSeconds();
    QElapsedTimer clock;
    clock.start();
    long reads = 0;
    qint16 slot = 0;
    while (clock.elapsed() < seconds * 1000L) {
        harness.window->cycle().readSlot(slot);
        slot = qint16((slot + 1) % SensorTable::DefaultSensorCount);
        ++reads;
    }
    const double used = cpuSeconds() - before;
    const double wall = double(clock.elapsed()) / 1000.0;
    std::printf("reads %ld\n", reads);
    std::printf("cpu_seconds %.3f s over %.1f s\n", used, wall);
    std::printf("cpu_share %.3f %% of one core\n", 100.0 * used / wall);
    return 0;
}

int record(const QString &dir, long records)
{
    LogWriter writer;
    const QString path = QDir(dir).filePath(QStringLiteral("record-bench.log"));
    QFile::remove(path);
    if (const auto error = writer.open(path)) {
        std::fprintf(stderr, "%s\n", qPrintable(*error));
        return 1;
    }
    std::vector<float> readings(SensorTable::DefaultSensorCount);
    for (std::size_t i = 0; i < readings.size(); ++i)
        readings[i] = 20.0f + 0.0625f * float(i);
    const QLocale locale;
    QElapsedTimer clock;
    clock.start();
    for (long i = 0; i < records; ++i) {
        const QByteArray line = LogRecord::bytes(QDateTime::currentDateTime(), readings, locale);
        if (writer.append(line)) {
            std::fprintf(stderr, "write failed\n");
            return 1;
        }
    }
    std::printf("record_step_microseconds %.1f us per record (compose, write, sync)\n",
                double(clock.nsecsElapsed()) / 1e3 / double(records));
    return 0;
}

// Each adversarial page, served from a free port on ADDRESS (loopback), through the real browser
// view: the longest the event loop went without turning over while the page
// was parsed, its Temperature_0 read (in the completion handler, as the
// polling cycle reads it before it next yields), its text put in the view
// and the view painted. Best of `runs` per page; the figure is the worst page.
int pagefreeze(const QString &address, int runs)
{
    const QList<testing::AdversarialPage> pages = testing::adversarialPages(WebBrowser::Options{}.loader.maxBodyBytes);
    httplib::Server server;
    server.set_tcp_nodelay(true);
    server.Get(R"(/page/(\d+))", [&pages](const httplib::Request &req, httplib::Response &res) {
        const auto &page = pages.at(qsizetype(std::stoi(req.matches[1])));
        res.set_content(page.body.toStdString(), "text/html");
    });
    const int port = server.bind_to_any_port(address.toLatin1().constData());
    if (port <= 0) {
        std::fprintf(stderr, "cannot listen on %s\n", qPrintable(address));
        return 1;
    }
    const QString host = address + u':' + QString::number(port);
    std::thread serving([&server] { server.listen_after_bind(); });

    WebBrowser browser(nullptr, WebBrowser::Options{{5000, WebBrowser::Options{}.loader.maxBodyBytes, 5}, 0});
    browser.resize(640, 480);
    browser.show();
    QElapsedTimer sinceTick;
    qint64 longestNs = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestNs = std::max(longestNs, sinceTick.nsecsElapsed());
        sinceTick.start();
    });
    QString reading;
    // What the polling cycle does once the page is complete, in the same
    // turn of the event loop: look the value up, show the page.
    auto showPage = [&] {
        const HtmlDocument *document = browser.Document();
        const auto element = document ? document->getElementById(QStringLiteral("Temperature_0")) : std::nullopt;
        reading = element ? element->Value().value_or(QString()) : QStringLiteral("(none)");
        (void)browser.displayedText();
        browser.repaint();
    };

    double worstMs = 0;
    QByteArray worstName;
    for (qsizetype i = 0; i < pages.size(); ++i) {
        double bestMs = 1e18;
        for (int run = 0; run < runs; ++run) {
            browser.Navigate(QStringLiteral("http://%1/page/%2").arg(host).arg(i));
            QElapsedTimer clock;
            clock.start();
            sinceTick.start();
            longestNs = 0;
            ticker.start();
            while (browser.ReadyState() != 4 && clock.elapsed() < 60000)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            showPage();
            QCoreApplication::processEvents(); // the last tick after the page
            longestNs = std::max(longestNs, sinceTick.nsecsElapsed());
            ticker.stop();
            bestMs = std::min(bestMs, double(longestNs) / 1e6);
        }
        const bool refused = browser.displayedText().contains(QStringLiteral("The page was not shown"));
        std::printf("page %-55s %6lld bytes %8.2f ms %s\n", pages.at(i).name.constData(),
                    static_cast<long long>(pages.at(i).body.size()), bestMs,
                    refused ? "refused" : qPrintable(QStringLiteral("read ") + reading.left(12)));
        std::fflush(stdout);
        if (bestMs > worstMs) {
            worstMs = bestMs;
            worstName = pages.at(i).name;
        }
    }
    server.stop();
    serving.join();
    std::printf("pages %lld, body cap %lld bytes\n", static_cast<long long>(pages.size()),
                static_cast<long long>(WebBrowser::Options{}.loader.maxBodyBytes));
    std::printf("worst_page_freeze %.1f ms (%s)\n", worstMs, worstName.constData());
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    // A real display where one is named (the throughput figure counts the
    // frames painted), the offscreen one otherwise.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: kestrin_bench throughput|memory|cpu|record|pagefreeze ARG COUNT [CHECKPOINT...]\n");
        return 2;
    }
    const QString mode = args.at(1);
    const QString where = args.at(2);
    const long count = args.at(3).toLong();
    if (mode == QLatin1String("throughput"))
        return throughput(where, count);
    if (mode == QLatin1String("memory")) {
        std::vector<long> checkpoints;
        for (qsizetype i = 4; i < args.size(); ++i)
            checkpoints.push_back(args.at(i).toLong());
        return memory(where, count, checkpoints);
    }
    if (mode == QLatin1String("cpu"))
        return cpu(where, int(count));
    if (mode == QLatin1String("record"))
        return record(where, count);
    if (mode == QLatin1String("pagefreeze"))
        return pagefreeze(where, int(count));
    std::fprintf(stderr, "unknown mode\n");
    return 2;
}
