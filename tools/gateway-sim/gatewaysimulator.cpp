#include "gatewaysimulator.h"

#include "gatewaypages.h"
#include "readrequest.h"
#include "romid.h"
#include "simhttpserver.h"
#include "temperaturemodel.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

namespace kestrin::sim {

namespace {

struct FaultName {
    Fault fault;
    std::string_view name;
};

constexpr std::array<FaultName, 9> FaultNames{{
    {Fault::None, "none"},
    {Fault::MissingElement, "missing-element"},
    {Fault::Http500, "http-500"},
    {Fault::CloseConnection, "close"},
    {Fault::Stall, "stall"},
    {Fault::EmptyValue, "empty-value"},
    {Fault::NonNumeric, "non-numeric"},
    {Fault::Oversized, "oversized"},
    {Fault::PowerOn85, "power-on-85"},
}};

std::string upper(std::string_view text)
{
    std::string out(text);
    for (char &c : out) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

std::string hexByte(unsigned value)
{
    static constexpr std::string_view digits = "0123456789ABCDEF";
    return {digits[(value >> 4) & 0xF], digits[value & 0xF]};
}

// The DS18B20 needs 93.75 ms for a 9-bit conversion, doubling with each bit.
std::chrono::microseconds conversionTime(int resolution, int overrideMs)
{
    if (overrideMs >= 0)
        return std::chrono::milliseconds(overrideMs);
    return std::chrono::microseconds(750000 >> (12 - resolution));
}

constexpr double PowerOnResetCelsius = 85.0;

} // namespace

std::optional<Fault> faultFromName(std::string_view name)
{
    for (const auto &entry : FaultNames) {
        if (entry.name == name)
            return entry.fault;
    }
    return std::nullopt;
}

std::string_view faultName(Fault fault)
{
    for (const auto &entry : FaultNames) {
        if (entry.fault == fault)
            return entry.name;
    }
    return {};
}

std::uint8_t onewireCrc8(const std::uint8_t *data, std::size_t len)
{
    return RomId::crc8(data, len);
}

bool isValidRomId(std::string_view romId, std::string *why)
{
    const RomId::Check check = RomId::check(romId);
    if (why) {
        switch (check.fault) {
        case RomId::Fault::None:
            break;
        case RomId::Fault::Length:
            *why = "a ROM id has 16 hex digits, this one has " + std::to_string(romId.size()) + " characters";
            break;
        case RomId::Fault::NotHex:
            *why = "not a hex digit at position " + std::to_string(check.position);
            break;
        case RomId::Fault::Family:
            *why = "family code " + hexByte(check.family) + " is not 28 (DS18B20)";
            break;
        case RomId::Fault::Crc:
            *why = "CRC " + hexByte(check.written) + " does not match the computed " + hexByte(check.computed);
            break;
        }
    }
    return check.ok();
}

struct GatewaySimulator::Impl {
    explicit Impl(SimulatorOptions o) : options(std::move(o)), model(options.seed) {}

    void handle(const httplib::Request &req, httplib::Response &res);
    Fault faultFor(const std::string &romId) const;
    // Sleeps, but wakes when the simulator stops; false then.
    bool pause(std::chrono::microseconds duration);
    void answerError(httplib::Response &res, int status, std::string_view reason, std::string_view detail);

    const SimulatorOptions options;
    const TemperatureModel model;
    const std::chrono::steady_clock::time_point epoch = std::chrono::steady_clock::now();

    // start() and stop() one at a time.
    mutable std::mutex lifecycle;
    std::unique_ptr<SimHttpServer> server;
    std::thread listener;
    int wakeFd = -1;
    std::atomic<int> boundPort{0};
    std::atomic<bool> listening{false};
    std::atomic<bool> listenerDone{false};

    std::mutex stopMutex;
    std::condition_variable stopCondition;
    bool stopping = false;

    mutable std::mutex stateMutex;
    std::map<std::string, Fault> sensorFaults;
    Fault allFault = Fault::None;
    std::deque<std::string> targets; // the newest options.targetHistory

    std::atomic<std::size_t> requests{0};
    std::atomic<std::size_t> connections{0};
};

Fault GatewaySimulator::Impl::faultFor(const std::string &romId) const
{
    const std::lock_guard lock(stateMutex);
    const auto it = sensorFaults.find(romId);
    return it != sensorFaults.end() ? it->second : allFault;
}

bool GatewaySimulator::Impl::pause(std::chrono::microseconds duration)
{
    std::unique_lock lock(stopMutex);
    if (duration.count() <= 0)
        return !stopping;
    return !stopCondition.wait_for(lock, duration, [this] { return stopping; });
}

void GatewaySimulator::Impl::answerError(httplib::Response &res, int status, std::string_view reason,
                                         std::string_view detail)
{
    res.status = status;
    res.set_content(GatewayPages::error(status, reason, detail), "text/html");
}

void GatewaySimulator::Impl::handle(const httplib::Request &req, httplib::Response &res)
{
    {
        const std::lock_guard lock(stateMutex);
        targets.push_back(req.target);
        while (targets.size() > options.targetHistory)
            targets.pop_front();
        ++requests;
    }
    res.set_header("Cache-Control", "no-cache");

    if (req.method != "GET" && req.method != "HEAD") {
        res.set_header("Allow", "GET, HEAD");
        answerError(res, 405, "Method Not Allowed", "only GET reads a sensor");
        return;
    }

    const ReadRequest read = ReadRequest::parse(req.target);
    if (!read.ok()) {
        answerError(res, read.status(), read.status() == 404 ? "Not Found" : "Bad Request", read.problem());
        return;
    }

    const bool onBus = options.bus.empty() || options.bus.contains(read.romId());
    const Fault fault = onBus ? faultFor(read.romId()) : Fault::None;
    if (fault == Fault::Stall) {
        pause(std::chrono::milliseconds(options.stallMs));
        SimHttpServer::abandonCurrentConnection();
        return;
    }
    if (!pause(conversionTime(read.resolution(), options.conversionMs))) {
        SimHttpServer::abandonCurrentConnection();
        return;
    }

    // The gateway only learns that nobody answers once it reads the
    // scratchpad back, after the conversion time.
    if (!onBus) {
        answerError(res, 500, "Internal Server Error", "1-Wire bus error: no device answers to " + read.romId());
        return;
    }

    const double step = 0.0625 * static_cast<double>(1 << (12 - read.resolution()));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - epoch).count();
    const double celsius = std::round(model.celsius(read.romId(), seconds) / step) * step;
    std::optional<std::string> value = GatewayPages::formatCelsius(celsius);
    if (const auto fixed = options.fixedReadings.find(read.romId()); fixed != options.fixedReadings.end())
        value = fixed->second;
    std::size_t minBytes = 0;

    switch (fault) {
    case Fault::None:
    case Fault::Stall:
        break;
    case Fault::MissingElement:
        value.reset();
        break;
    case Fault::Http500:
        answerError(res, 500, "Internal Server Error", "1-Wire bus error: no presence pulse from " + read.romId());
        return;
    case Fault::CloseConnection:
        SimHttpServer::abandonCurrentConnection();
        return;
    case Fault::EmptyValue:
        value = std::string();
        break;
    case Fault::NonNumeric:
        value = options.nonNumericText;
        break;
    case Fault::Oversized:
        minBytes = options.oversizeBytes;
        break;
    case Fault::PowerOn85:
        value = GatewayPages::formatCelsius(PowerOnResetCelsius);
        break;
    }
    res.status = 200;
    res.set_content(GatewayPages::reading(read.romId(), read.resolution(), value, minBytes), "text/html");
}

GatewaySimulator::GatewaySimulator(SimulatorOptions options) : d(std::make_unique<Impl>(std::move(options))) {}

GatewaySimulator::~GatewaySimulator()
{
    stop();
}

bool GatewaySimulator::start(std::string *error)
{
    const std::lock_guard lock(d->lifecycle);
    if (d->server)
        return true;
    const auto fail = [error](std::string text) {
        if (error)
            *error = std::move(text);
        return false;
    };

    const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0)
        return fail(std::string("eventfd: ") + std::strerror(errno));
    {
        const std::lock_guard stopLock(d->stopMutex);
        d->stopping = false;
    }

    auto server = std::make_unique<SimHttpServer>(wake, d->connections);
    server->set_pre_routing_handler([impl = d.get()](const httplib::Request &req, httplib::Response &res) {
        impl->handle(req, res);
        return httplib::Server::HandlerResponse::Handled;
    });

    const int wanted = d->options.port > 0 ? d->options.port : d->boundPort.load();
    int port = wanted;
    errno = 0;
    if (wanted > 0) {
        if (!server->bind_to_port(d->options.bindAddress, wanted))
            port = -1;
    } else {
        port = server->bind_to_any_port(d->options.bindAddress);
    }
    if (port <= 0) {
        const int err = errno;
        ::close(wake);
        return fail("cannot listen on " + d->options.bindAddress + ':' + std::to_string(wanted)
                    + (err != 0 ? std::string(": ") + std::strerror(err) : std::string()));
    }

    // The socket listens already (bind_to_port listens); the thread only
    // accepts. Waiting for is_running() makes a stop() right after start()
    // reach the accept loop instead of finding nothing to stop.
    d->listenerDone = false;
    SimHttpServer *raw = server.get();
    std::thread listener([raw, impl = d.get()] {
        raw->listen_after_bind();
        impl->listenerDone = true;
    });
    while (!raw->is_running() && !d->listenerDone)
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    if (d->listenerDone) {
        listener.join();
        ::close(wake);
        return fail("the server on port " + std::to_string(port) + " stopped at once");
    }
    d->listener = std::move(listener);
    d->server = std::move(server);
    d->wakeFd = wake;
    d->boundPort = port;
    d->listening = true;
    return true;
}

void GatewaySimulator::stop()
{
    const std::lock_guard lock(d->lifecycle);
    if (!d->server)
        return;
    {
        const std::lock_guard stopLock(d->stopMutex);
        d->stopping = true;
    }
    d->stopCondition.notify_all();
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(d->wakeFd, &one, sizeof(one));
    d->server->stop();
    d->listener.join();
    d->server.reset();
    ::close(d->wakeFd);
    d->wakeFd = -1;
    d->listening = false;
}

bool GatewaySimulator::running() const
{
    return d->listening;
}

int GatewaySimulator::port() const
{
    return d->boundPort;
}

void GatewaySimulator::setFault(Fault fault, const std::string &romId)
{
    const std::lock_guard lock(d->stateMutex);
    if (romId.empty()) {
        d->allFault = fault;
    } else if (fault == Fault::None) {
        d->sensorFaults.erase(upper(romId));
    } else {
        d->sensorFaults[upper(romId)] = fault;
    }
}

void GatewaySimulator::clearFaults()
{
    const std::lock_guard lock(d->stateMutex);
    d->sensorFaults.clear();
    d->allFault = Fault::None;
}

std::vector<std::string> GatewaySimulator::requestTargets() const
{
    const std::lock_guard lock(d->stateMutex);
    return {d->targets.begin(), d->targets.end()};
}

std::size_t GatewaySimulator::requestCount() const
{
    return d->requests;
}

void GatewaySimulator::clearRequests()
{
    const std::lock_guard lock(d->stateMutex);
    d->targets.clear();
    d->requests = 0;
}

std::size_t GatewaySimulator::connectionCount() const
{
    return d->connections;
}

} // namespace kestrin::sim
