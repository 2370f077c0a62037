#pragma once

// A small HTTP server on its own thread for the browser layer's tests. It
// records every request target as it arrived and the client ports it was
// reached from. Routes go into server() before start().

#include <QByteArray>

#include <httplib.h>

#include <chrono>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace kestrin::testing {

class FixtureServer
{
public:
    explicit FixtureServer(const char *host = "127.0.0.1")
        : m_host(host)
    {
        m_server.set_tcp_nodelay(true); // no 40 ms Nagle stall between head and body
        m_server.set_pre_routing_handler([this](const httplib::Request &req, httplib::Response &) {
            const std::lock_guard lock(m_mutex);
            m_targets.push_back(req.target);
            m_remotePorts.insert(req.remote_port);
            return httplib::Server::HandlerResponse::Unhandled;
        });
    }

    virtual ~FixtureServer() { stop(); }

    FixtureServer(const FixtureServer &) = delete;
    FixtureServer &operator=(const FixtureServer &) = delete;

    httplib::Server &server() { return m_server; }

    // Binds an ephemeral port and serves; returns once it listens.
    void start()
    {
        port = m_server.bind_to_any_port(m_host.constData());
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        while (!m_server.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    // Stops serving; a subclass whose handlers read its own members calls
    // this from its destructor, before those members go.
    void stop()
    {
        m_server.stop();
        if (m_thread.joinable())
            m_thread.join();
    }

    QByteArray url(const QByteArray &path) const { return "http://" + m_host + ':' + QByteArray::number(port) + path; }

    std::vector<std::string> targets() const
    {
        const std::lock_guard lock(m_mutex);
        return m_targets;
    }

    QByteArray lastTarget() const
    {
        const std::lock_guard lock(m_mutex);
        return m_targets.empty() ? QByteArray() : QByteArray::fromStdString(m_targets.back());
    }

    size_t connections() const
    {
        const std::lock_guard lock(m_mutex);
        return m_remotePorts.size();
    }

    int port = 0;

private:
    QByteArray m_host;
    httplib::Server m_server;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_targets;
    std::set<int> m_remotePorts;
};

} // namespace kestrin::testing
