#include "simhttpserver.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace kestrin::sim {

namespace {

// Far more than any client sends on one connection; the stock limit of five
// would make the logger reconnect every few reads.
constexpr std::size_t MaxRequestsPerConnection = 100000;
constexpr std::size_t WorkerThreads = 32;

enum class Ready { Yes, TimedOut, Stopped, Failed };

// Waits until sock is ready for `events` or the wake descriptor fires.
Ready waitFor(int sock, short events, int wakeFd, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        std::array<pollfd, 2> fds{{{sock, events, 0}, {wakeFd, POLLIN, 0}}};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const int n = ::poll(fds.data(), fds.size(), static_cast<int>(std::max<std::int64_t>(left.count(), 0)));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return Ready::Failed;
        }
        if (fds[1].revents != 0)
            return Ready::Stopped;
        if (n == 0)
            return Ready::TimedOut;
        // POLLHUP/POLLERR count as ready: the following read or write reports it.
        return Ready::Yes;
    }
}

std::chrono::milliseconds toMs(time_t sec, time_t usec)
{
    return std::chrono::milliseconds(static_cast<std::int64_t>(sec) * 1000 + static_cast<std::int64_t>(usec) / 1000);
}

void addressOf(int sock, bool peer, std::string &ip, int &port)
{
    sockaddr_storage addr{};
    socklen_t len = sizeof(addr);
    auto *sa = reinterpret_cast<sockaddr *>(&addr);
    if ((peer ? ::getpeername(sock, sa, &len) : ::getsockname(sock, sa, &len)) != 0)
        return;
    std::array<char, NI_MAXHOST> host{};
    std::array<char, NI_MAXSERV> serv{};
    if (::getnameinfo(sa, len, host.data(), host.size(), serv.data(), serv.size(),
                      NI_NUMERICHOST | NI_NUMERICSERV) == 0) {
        ip = host.data();
        port = std::atoi(serv.data());
    }
}

} // namespace

// A socket stream with a read buffer (httplib reads the request head one byte
// at a time) whose waits end as soon as the simulator stops.
class SimHttpServer::ConnectionStream final : public httplib::Stream {
public:
    ConnectionStream(int sock, int wakeFd, std::chrono::milliseconds readTimeout,
                     std::chrono::milliseconds writeTimeout)
        : m_sock(sock), m_wakeFd(wakeFd), m_readTimeout(readTimeout), m_writeTimeout(writeTimeout)
    {
    }

    bool is_readable() const override
    {
        return buffered() > 0 || waitFor(m_sock, POLLIN, m_wakeFd, m_readTimeout) == Ready::Yes;
    }

    bool is_writable() const override
    {
        return !abandoned && waitFor(m_sock, POLLOUT, m_wakeFd, m_writeTimeout) == Ready::Yes;
    }

    ssize_t read(char *ptr, size_t size) override
    {
        if (buffered() == 0) {
            if (!fill())
                return m_eof ? 0 : -1;
        }
        const std::size_t n = std::min(size, buffered());
        std::memcpy(ptr, m_buffer.data() + m_begin, n);
        m_begin += n;
        return static_cast<ssize_t>(n);
    }

    ssize_t write(const char *ptr, size_t size) override
    {
        if (abandoned || !is_writable())
            return -1;
        for (;;) {
            const ssize_t n = ::send(m_sock, ptr, size, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            return n;
        }
    }

    void get_remote_ip_and_port(std::string &ip, int &port) const override
    {
        addressOf(m_sock, true, ip, port);
    }

    void get_local_ip_and_port(std::string &ip, int &port) const override
    {
        addressOf(m_sock, false, ip, port);
    }

    socket_t socket() const override { return m_sock; }

    // Waits for the start of the next request on a kept-alive connection.
    bool waitForRequest(std::chrono::milliseconds timeout) const
    {
        return buffered() > 0 || waitFor(m_sock, POLLIN, m_wakeFd, timeout) == Ready::Yes;
    }

    bool abandoned = false;

private:
    std::size_t buffered() const { return m_end - m_begin; }

    bool fill()
    {
        if (waitFor(m_sock, POLLIN, m_wakeFd, m_readTimeout) != Ready::Yes)
            return false;
        for (;;) {
            const ssize_t n = ::recv(m_sock, m_buffer.data(), m_buffer.size(), 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                m_eof = n == 0;
                return false;
            }
            m_begin = 0;
            m_end = static_cast<std::size_t>(n);
            return true;
        }
    }

    int m_sock;
    int m_wakeFd;
    std::chrono::milliseconds m_readTimeout;
    std::chrono::milliseconds m_writeTimeout;
    std::array<char, 4096> m_buffer{};
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
    bool m_eof = false;
};

thread_local SimHttpServer::ConnectionStream *SimHttpServer::s_current = nullptr;

SimHttpServer::SimHttpServer(int wakeFd, std::atomic<std::size_t> &accepted)
    : m_wakeFd(wakeFd), m_accepted(accepted)
{
    new_task_queue = [] { return new httplib::ThreadPool(WorkerThreads); };
    // SO_REUSEADDR for a quick restart on the same port, but not httplib's
    // default SO_REUSEPORT: with it a second simulator would share the port
    // silently instead of failing to start.
    set_socket_options([](socket_t sock) {
        const int one = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    });
    // Only for the Keep-Alive header's max; the loop below enforces it.
    set_keep_alive_max_count(MaxRequestsPerConnection);
}

SimHttpServer::~SimHttpServer() = default;

void SimHttpServer::abandonCurrentConnection()
{
    if (s_current)
        s_current->abandoned = true;
}

bool SimHttpServer::process_and_close_socket(socket_t sock)
{
    ++m_accepted;
    // Headers and body go out in separate writes; without this Nagle's
    // algorithm and the peer's delayed ACK add tens of milliseconds per read.
    const int one = 1;
    ::setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));

    ConnectionStream stream(sock, m_wakeFd, toMs(read_timeout_sec_, read_timeout_usec_),
                            toMs(write_timeout_sec_, write_timeout_usec_));
    const auto keepAlive = std::chrono::milliseconds(static_cast<std::int64_t>(keep_alive_timeout_sec_) * 1000);
    bool ok = true;
    for (std::size_t left = MaxRequestsPerConnection; left > 0; --left) {
        if (svr_sock_ == INVALID_SOCKET || !stream.waitForRequest(keepAlive))
            break;
        bool closed = false;
        s_current = &stream;
        ok = process_request(stream, left == 1, closed, [](httplib::Request &) {});
        s_current = nullptr;
        if (!ok || closed || stream.abandoned)
            break;
    }
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
    return ok;
}

} // namespace kestrin::sim
