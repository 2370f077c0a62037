// bridge_bench: the figures of kestrin-bridge that need a client of their own.
//   bridge_bench scrape PORT SECONDS RATE   GET /metrics RATE times a second, each
//                                           on a new connection; the slowest and
//                                           the median answer
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Milliseconds until the whole answer is in; -1 when there is none.
double scrapeOnce(quint16 port)
{
    QElapsedTimer timer;
    timer.start();
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForConnected(2000))
        return -1;
    socket.write("GET /metrics HTTP/1.1\r\nHost: bench\r\nAccept: application/openmetrics-text;version=1.0.0\r\n"
                 "Connection: close\r\n\r\n");
    QByteArray data;
    while (!data.endsWith("# EOF\n")) {
        if (!socket.waitForReadyRead(2000))
            return -1;
        data += socket.readAll();
    }
    return double(timer.nsecsElapsed()) / 1e6;
}

int scrape(quint16 port, int seconds, int rate)
{
    std::vector<double> times;
    QElapsedTimer clock;
    clock.start();
    const qint64 stepNs = 1000000000LL / rate;
    for (qint64 next = 0; clock.nsecsElapsed() < qint64(seconds) * 1000000000LL; next += stepNs) {
        const qint64 wait = next - clock.nsecsElapsed();
        if (wait > 0)
            QThread::usleep(static_cast<unsigned long>(wait / 1000));
        const double ms = scrapeOnce(port);
        if (ms < 0) {
            std::fprintf(stderr, "bridge_bench: a scrape got no answer\n");
            return 1;
        }
        times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    std::printf("/metrics at %d scrapes/s for %d s: %zu scrapes, median %.2f ms, worst %.2f ms\n", rate, seconds,
                times.size(), times[times.size() / 2], times.back());
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 5 && args[1] == QLatin1String("scrape"))
        return scrape(quint16(args[2].toUInt()), args[3].toInt(), args[4].toInt());
    std::fprintf(stderr, "usage: bridge_bench scrape PORT SECONDS RATE\n");
    return 2;
}
