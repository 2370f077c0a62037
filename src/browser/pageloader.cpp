#include "pageloader.h"

#include "appinfo.h"

#include <QSocketNotifier>
#include <QTimer>

#include <curl/curl.h>

#include <mutex>
#include <optional>

namespace kestrin {

namespace {

CURLM *multiOf(void *handle)
{
    return static_cast<CURLM *>(handle);
}

CURL *easyOf(void *handle)
{
    return static_cast<CURL *>(handle);
}

struct UrlOrigin
{
    QByteArray scheme;
    QByteArray hostAndPort;
};

// Scheme, host and port of an absolute URL, parsed the way curl will use it.
std::optional<UrlOrigin> originOf(const char *url)
{
    CURLU *parsed = curl_url();
    if (!parsed)
        return std::nullopt;
    std::optional<UrlOrigin> origin;
    if (curl_url_set(parsed, CURLUPART_URL, url, CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK) {
        char *scheme = nullptr;
        char *host = nullptr;
        char *port = nullptr;
        if (curl_url_get(parsed, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK
            && curl_url_get(parsed, CURLUPART_HOST, &host, 0) == CURLUE_OK
            && curl_url_get(parsed, CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK) {
            origin = UrlOrigin{QByteArray(scheme).toLower(),
                               QByteArray(host).toLower() + ':' + QByteArray(port)};
        }
        curl_free(scheme);
        curl_free(host);
        curl_free(port);
    }
    curl_url_cleanup(parsed);
    return origin;
}

bool isRedirectStatus(long status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

} // namespace

// libcurl's C callbacks, with access to the loader they belong to.
struct PageLoaderCurl
{
    static int socket(CURL *, curl_socket_t socket, int what, void *self, void *)
    {
        static_cast<PageLoader *>(self)->watchSocket(qintptr(socket), what);
        return 0;
    }

    static int timer(CURLM *, long timeoutMs, void *self)
    {
        // curl forbids driving the multi handle from inside its callbacks, so
        // the work is left to the timer event.
        QTimer *timer = static_cast<PageLoader *>(self)->m_curlTimer;
        if (timeoutMs < 0)
            timer->stop();
        else
            timer->start(int(qMin<long>(timeoutMs, 24L * 3600 * 1000)));
        return 0;
    }

    static size_t write(char *data, size_t size, size_t count, void *self)
    {
        auto *loader = static_cast<PageLoader *>(self);
        const size_t bytes = size * count;
        if (loader->m_body.size() + qint64(bytes) > loader->m_options.maxBodyBytes) {
            loader->m_bodyTooLarge = true;
            return 0; // a short count aborts the transfer
        }
        loader->m_body.append(data, qsizetype(bytes));
        return bytes;
    }
};

PageLoader::PageLoader(QObject *parent, Options options)
    : QObject(parent), m_options(options)
{
    static std::once_flag globalInit;
    std::call_once(globalInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

    m_curlTimer = new QTimer(this);
    m_curlTimer->setSingleShot(true);
    m_curlTimer->setTimerType(Qt::PreciseTimer);
    connect(m_curlTimer, &QTimer::timeout, this, &PageLoader::onCurlTimer);

    m_reportTimer = new QTimer(this);
    m_reportTimer->setSingleShot(true);
    connect(m_reportTimer, &QTimer::timeout, this, &PageLoader::finish);

    m_multi = curl_multi_init();
    CURLM *multi = multiOf(m_multi);
    curl_multi_setopt(multi, CURLMOPT_SOCKETFUNCTION, &PageLoaderCurl::socket);
    curl_multi_setopt(multi, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(multi, CURLMOPT_TIMERFUNCTION, &PageLoaderCurl::timer);
    curl_multi_setopt(multi, CURLMOPT_TIMERDATA, this);

    // One easy handle for every load: with the multi handle's connection
    // cache this keeps the gateway connection alive from one read to the next.
    m_easy = curl_easy_init();
    CURL *easy = easyOf(m_easy);
    static const QByteArray userAgent = (appinfo::title() + u'/' + QString::number(appinfo::versionMajor)
                                         + u'.' + QString::number(appinfo::versionMinor))
                                            .toUtf8();
    curl_easy_setopt(easy, CURLOPT_USERAGENT, userAgent.constData());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L); // redirects are checked here
    curl_easy_setopt(easy, CURLOPT_PROXY, "");          // never a proxy from the environment
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(m_options.maxBodyBytes));
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &PageLoaderCurl::write);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    static_assert(sizeof(m_errorText) >= CURL_ERROR_SIZE);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, m_errorText);
}

PageLoader::~PageLoader()
{
    detachHandle();
    curl_easy_cleanup(easyOf(m_easy));
    curl_multi_cleanup(multiOf(m_multi)); // may still report sockets closing
    m_sockets.clear();
}

void PageLoader::start(const QByteArray &url)
{
    abort();
    m_redirects = 0;
    m_result = Result{};
    m_deadline = QDeadlineTimer(qMax(m_options.timeoutMs, 1), Qt::PreciseTimer);
    const auto origin = originOf(url.constData());
    m_origin = origin ? origin->hostAndPort : QByteArray();

    if (url.contains('\0')) {
        m_result.error = QStringLiteral("invalid address");
        m_reportTimer->start(0);
        return;
    }
    issue(url);
}

void PageLoader::abort()
{
    m_reportTimer->stop();
    detachHandle();
}

void PageLoader::issue(const QByteArray &url)
{
    m_body.clear();
    m_bodyTooLarge = false;
    m_errorText[0] = '\0';
    CURL *easy = easyOf(m_easy);
    curl_easy_setopt(easy, CURLOPT_URL, url.constData());
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, long(qMax<qint64>(m_deadline.remainingTime(), 1)));
    const CURLMcode code = curl_multi_add_handle(multiOf(m_multi), easy);
    if (code != CURLM_OK) {
        m_result.error = QString::fromUtf8(curl_multi_strerror(code));
        m_reportTimer->start(0);
        return;
    }
    m_attached = true;
}

void PageLoader::detachHandle()
{
    if (!m_attached)
        return;
    m_attached = false;
    curl_multi_remove_handle(multiOf(m_multi), easyOf(m_easy));
}

void PageLoader::watchSocket(qintptr socket, int what)
{
    if (what == CURL_POLL_REMOVE) {
        // Deleted at once: the program only ever runs events from inside a
        // handler, so deferred deletes could pile up without end.
        m_sockets.erase(socket);
        return;
    }
    SocketWatch &watch = m_sockets[socket];
    auto want = [this, socket](std::unique_ptr<QSocketNotifier> &notifier, QSocketNotifier::Type type, bool on) {
        if (!on) {
            if (notifier)
                notifier->setEnabled(false);
            return;
        }
        if (!notifier) {
            notifier = std::make_unique<QSocketNotifier>(socket, type);
            const bool forWrite = type == QSocketNotifier::Write;
            connect(notifier.get(), &QSocketNotifier::activated, this,
                    [this, socket, forWrite] { onSocketActivated(socket, forWrite); });
        }
        notifier->setEnabled(true);
    };
    want(watch.read, QSocketNotifier::Read, what == CURL_POLL_IN || what == CURL_POLL_INOUT);
    want(watch.write, QSocketNotifier::Write, what == CURL_POLL_OUT || what == CURL_POLL_INOUT);
}

void PageLoader::onSocketActivated(qintptr socket, bool forWrite)
{
    int running = 0;
    curl_multi_socket_action(multiOf(m_multi), curl_socket_t(socket),
                             forWrite ? CURL_CSELECT_OUT : CURL_CSELECT_IN, &running);
    collectCompleted();
}

void PageLoader::onCurlTimer()
{
    int running = 0;
    curl_multi_socket_action(multiOf(m_multi), CURL_SOCKET_TIMEOUT, 0, &running);
    collectCompleted();
}

void PageLoader::collectCompleted()
{
    int queued = 0;
    while (CURLMsg *message = curl_multi_info_read(multiOf(m_multi), &queued)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == m_easy && m_attached) {
            // Handled last: finishing may hand control to code that starts
            // the next load.
            onTransferDone(int(message->data.result));
            return;
        }
    }
}

void PageLoader::onTransferDone(int curlCode)
{
    CURL *easy = easyOf(m_easy);
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    const char *contentType = nullptr;
    curl_easy_getinfo(easy, CURLINFO_CONTENT_TYPE, &contentType);
    const char *effectiveUrl = nullptr;
    curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &effectiveUrl);
    const char *redirectTarget = nullptr;
    curl_easy_getinfo(easy, CURLINFO_REDIRECT_URL, &redirectTarget);
    const QByteArray redirect(redirectTarget);

    m_result.httpStatus = int(status);
    m_result.contentType = QByteArray(contentType);
    m_result.finalUrl = QByteArray(effectiveUrl);
    detachHandle();

    if (m_bodyTooLarge || curlCode == CURLE_FILESIZE_EXCEEDED)
        return fail(bodyLimitText());
    if (curlCode != CURLE_OK) {
        const QByteArray text = m_errorText[0] ? QByteArray(m_errorText)
                                               : QByteArray(curl_easy_strerror(CURLcode(curlCode)));
        return fail(QString::fromUtf8(text));
    }

    if (isRedirectStatus(status) && !redirect.isEmpty()) {
        const auto target = originOf(redirect.constData());
        if (!target || (target->scheme != "http" && target->scheme != "https")
            || m_origin.isEmpty() || target->hostAndPort != m_origin)
            return fail(QStringLiteral("redirect to another host refused"));
        if (++m_redirects > m_options.maxRedirects)
            return fail(QStringLiteral("too many redirects (more than %1)").arg(m_options.maxRedirects));
        issue(redirect);
        return;
    }

    m_result.body = std::move(m_body);
    m_body = QByteArray();
    m_result.ok = status >= 200 && status <= 299;
    if (!m_result.ok)
        m_result.error = QStringLiteral("HTTP %1").arg(status);
    finish();
}

void PageLoader::fail(const QString &error)
{
    m_result.ok = false;
    m_result.error = error;
    m_body = QByteArray();
    finish();
}

void PageLoader::finish()
{
    const Result result = m_result; // a handler may start the next load
    Q_EMIT finished(result);
}

QString PageLoader::bodyLimitText() const
{
    const qint64 kib = 1024;
    const qint64 mib = 1024 * kib;
    if (m_options.maxBodyBytes > 0 && m_options.maxBodyBytes % mib == 0)
        return QStringLiteral("body larger than %1 MiB").arg(m_options.maxBodyBytes / mib);
    if (m_options.maxBodyBytes > 0 && m_options.maxBodyBytes % kib == 0)
        return QStringLiteral("body larger than %1 KiB").arg(m_options.maxBodyBytes / kib);
    return QStringLiteral("body larger than %1 bytes").arg(m_options.maxBodyBytes);
}

} // namespace kestrin
