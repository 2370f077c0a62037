#pragma once

#include <httplib.h>

#include <atomic>
#include <cstddef>

namespace kestrin::sim {

// httplib's server with our own connection loop. We need three things the
// stock loop cannot give: a handler that drops its connection without a single
// byte of answer, idle keep-alive connections that let go the moment the
// simulator stops (instead of after the keep-alive timeout), and no small cap
// on the number of requests per connection.
class SimHttpServer final : public httplib::Server {
public:
    // wakeFd becomes readable when the simulator stops; every wait on a
    // connection watches it too. Each accepted connection bumps accepted.
    SimHttpServer(int wakeFd, std::atomic<std::size_t> &accepted);
    ~SimHttpServer() override;
    SimHttpServer(const SimHttpServer &) = delete;
    SimHttpServer &operator=(const SimHttpServer &) = delete;
    SimHttpServer(SimHttpServer &&) = delete;
    SimHttpServer &operator=(SimHttpServer &&) = delete;

    // From inside a request handler: send nothing back for this request and
    // close the connection once the handler returns.
    static void abandonCurrentConnection();

private:
    class ConnectionStream;

    bool process_and_close_socket(socket_t sock) override;

    // The connection whose request the calling worker thread is handling.
    static thread_local ConnectionStream *s_current;

    int m_wakeFd;
    std::atomic<std::size_t> &m_accepted;
};

} // namespace kestrin::sim
