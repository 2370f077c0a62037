// Benchmarks of kestrin-logview on a large log:
//   logview_bench make-log FILE N        N records at the real pace (8.25 s), this locale
//   logview_bench window FILE            time until the window shows the chart, then
//                                        the time of each zoom and pan frame
//   logview_bench follow FILE SECONDS    CPU of the window while it follows FILE
#include "logchartview.h"
#include "logrecord.h"
#include "logviewwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

using namespace kestrin;

namespace {

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

int makeLog(const QString &path, qint64 count)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 1;
    const QLocale locale = QLocale::system();
    qint64 t = QDateTime(QDate(2026, 1, 5), QTime(8, 0)).toSecsSinceEpoch();
    std::vector<float> readings(11);
    QByteArray out;
    for (qint64 i = 0; i < count; ++i) {
        for (int s = 0; s < 11; ++s) {
            const double day = std::sin(double(t % 86400) / 86400.0 * 2 * M_PI);
            const double v = 19.0 + s * 0.4 + 2.5 * day + 0.5 * std::sin(double(i) / (300.0 + 17 * s));
            readings[s] = float(std::round(v * 16.0) / 16.0);
        }
        // Sensor 11 stops answering for a while now and then.
        if (i % 40000 > 38000)
            readings[10] = 85.0f;
        out += LogRecord::bytes(QDateTime::fromSecsSinceEpoch(t), readings, locale);
        if (out.size() > (1 << 22)) {
            file.write(out);
            out.clear();
        }
        t += (i % 100000 == 99999) ? 6 * 3600 : 8; // logging off for a while, now and then
        if (i % 4 == 0)
            ++t;
    }
    file.write(out);
    return 0;
}

int window(const QString &path)
{
    QElapsedTimer clock;
    clock.start();
    LogViewWindow w(QLocale::system());
    w.show();
    QSignalSpy shown(&w, &LogViewWindow::chartShown);
    w.openLog(path);
    if (!shown.wait(120000))
        return 1;
    w.chartView()->viewport()->repaint();
    const double loaded = double(clock.nsecsElapsed()) / 1e9;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("chart shown after %.2f s (%lld records), peak resident %ld KiB\n", loaded,
                qlonglong(w.series().size()), usage.ru_maxrss);

    LogChartView *chart = w.chartView();
    std::vector<double> frames;
    auto frame = [&](double from, double to) {
        QElapsedTimer t;
        t.start();
        chart->setTimeRange(from, to);
        chart->viewport()->repaint();
        frames.push_back(double(t.nsecsElapsed()) / 1e6);
    };
    // Twenty wheel notches in and out around the middle, then forty pan steps.
    double from = chart->viewFrom(), to = chart->viewTo();
    for (int i = 0; i < 20; ++i) {
        const double mid = (from + to) / 2, half = (to - from) / 2 * (i < 10 ? 0.8 : 1.25);
        from = mid - half;
        to = mid + half;
        frame(from, to);
    }
    std::sort(frames.begin(), frames.end());
    std::printf("zoom frames: median %.1f ms, slowest %.1f ms\n", frames[frames.size() / 2], frames.back());
    frames.clear();
    const double width = (to - from) / 2;
    from = chart->viewFrom() + width / 2;
    to = from + width;
    for (int i = 0; i < 40; ++i)
        frame(from + i * width / 40, to + i * width / 40);
    std::sort(frames.begin(), frames.end());
    std::printf("pan frames: median %.1f ms, slowest %.1f ms\n", frames[frames.size() / 2], frames.back());
    return 0;
}

int follow(const QString &path, int seconds)
{
    LogViewWindow w(QLocale::system());
    w.show();
    QSignalSpy shown(&w, &LogViewWindow::chartShown);
    w.openLog(path);
    if (!shown.wait(120000))
        return 1;
    const qint64 before = w.series().size();
    const double cpu0 = cpuSeconds();
    QElapsedTimer clock;
    clock.start();
    QTimer::singleShot(seconds * 1000, qApp, &QCoreApplication::quit);
    QApplication::exec();
    const double cpu = cpuSeconds() - cpu0;
    const double wall = double(clock.nsecsElapsed()) / 1e9;
    std::printf("following: %.3f s CPU over %.1f s (%.2f %% of one core), %lld records arrived\n", cpu, wall,
                100.0 * cpu / wall, qlonglong(w.series().size() - before));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 4 && args[1] == QLatin1String("make-log"))
        return makeLog(args[2], args[3].toLongLong());
    if (args.size() == 3 && args[1] == QLatin1String("window"))
        return window(args[2]);
    if (args.size() == 4 && args[1] == QLatin1String("follow"))
        return follow(args[2], args[3].toInt());
    std::fprintf(stderr, "usage: logview_bench make-log FILE N | window FILE | follow FILE SECONDS\n");
    return 2;
}
