#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QObject>
#include <QString>

#include <memory>
#include <unordered_map>

class QSocketNotifier;
class QTimer;

namespace kestrin {

// Limits of one load. Declared outside the class so it can serve as a
// defaulted constructor argument.
struct PageLoaderOptions
{
    int timeoutMs = 15000;         // whole load, redirects included
    qint64 maxBodyBytes = 1048576; // a larger body fails the load
    int maxRedirects = 5;          // followed only within the same host and port
};

// Fetches one page at a time with a plain HTTP GET, driven entirely by the
// Qt event loop of the calling thread (libcurl's multi-socket interface, no
// threads). Every step of a load arrives as a socket or timer event, so a
// caller that blocks in processEvents(WaitForMoreEvents) is always woken.
// Connections stay open between loads and are reused.
class PageLoader final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PageLoader)

public:
    using Options = PageLoaderOptions;

    struct Result
    {
        bool ok = false;     // transfer completed with a 2xx status
        int httpStatus = 0;  // 0 when no response arrived
        QByteArray body;     // kept for error statuses too
        QByteArray contentType;
        QByteArray finalUrl; // after redirects
        QString error;       // empty when ok
    };

    explicit PageLoader(QObject *parent = nullptr, Options options = {});
    ~PageLoader() override;

    // Starts a GET of exactly these URL bytes (no re-encoding). A load that is
    // still running is abandoned without a finished() signal.
    void start(const QByteArray &url);
    // Abandons the running load, if any, without a finished() signal.
    void abort();

Q_SIGNALS:
    // Emitted once per started load, always from an event handler, never
    // from inside start().
    void finished(const kestrin::PageLoader::Result &result);

private:
    struct SocketWatch
    {
        std::unique_ptr<QSocketNotifier> read;
        std::unique_ptr<QSocketNotifier> write;
    };

    friend struct PageLoaderCurl; // libcurl's callbacks

    void watchSocket(qintptr socket, int what);
    void onSocketActivated(qintptr socket, bool forWrite);
    void onCurlTimer();
    void collectCompleted();
    void onTransferDone(int curlCode);
    void issue(const QByteArray &url);
    void detachHandle();
    void fail(const QString &error);
    void finish();
    QString bodyLimitText() const;

    Options m_options;
    void *m_multi = nullptr;
    void *m_easy = nullptr;
    QTimer *m_curlTimer = nullptr;   // curl's single timeout
    QTimer *m_reportTimer = nullptr; // reports a load that failed before it began
    std::unordered_map<qintptr, SocketWatch> m_sockets;

    bool m_attached = false;
    bool m_bodyTooLarge = false;
    int m_redirects = 0;
    QByteArray m_origin; // scheme-independent "host:port" of the started URL
    QDeadlineTimer m_deadline;
    QByteArray m_body;
    Result m_result;
    char m_errorText[256] = {};
};

} // namespace kestrin
