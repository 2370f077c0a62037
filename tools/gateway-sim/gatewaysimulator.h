#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kestrin::sim {

// What a sensor read can be made to go wrong with, to exercise the logger's
// handling of a misbehaving gateway.
enum class Fault {
    None,
    MissingElement,   // normal 200 page, but no Temperature_0 element
    Http500,          // HTTP 500 with a small error page
    CloseConnection,  // connection closed without a single byte of answer
    Stall,            // no answer for stallMs, then the connection is closed
    EmptyValue,       // Temperature_0 with value=""
    NonNumeric,       // Temperature_0 with a value that is not a number
    Oversized,        // 200 page larger than oversizeBytes, element near the end
    PowerOn85,        // the DS18B20's power-on reset reading, 85
};

// "missing-element", "http-500", "close", "stall", "empty-value",
// "non-numeric", "oversized", "power-on-85" (and "none").
std::optional<Fault> faultFromName(std::string_view name);
std::string_view faultName(Fault fault);

struct SimulatorOptions {
    std::string bindAddress = "127.0.0.1";
    int port = 0;                                  // 0 = ephemeral
    int conversionMs = -1;                         // -1 = the real time for the resolution
    int stallMs = 30000;
    std::size_t oversizeBytes = 2 * 1024 * 1024;
    std::uint64_t seed = 1;
    std::string nonNumericText = "n/a";            // the value sent by Fault::NonNumeric
    // ROM id (upper case) -> the exact text served as that sensor's value,
    // instead of the simulated temperature: known readings for tests that
    // compare what was served with what was logged.
    std::map<std::string, std::string> fixedReadings;
    // The ROM ids (upper case) of the sensors on the bus, from a site file.
    // A read of any other id gets what a gateway answers for a sensor that
    // is not there: status 500, "no device answers". Empty: every valid id
    // is a sensor on the bus.
    std::set<std::string> bus;
    // How many of the newest request targets requestTargets() keeps: a
    // simulator left running for days must not grow with every request.
    std::size_t targetHistory = 1000;
};

// A stand-in for the networked 1-Wire gateway's web server. Answers
// GET /1Wire/ReadDS18B20.html?DS18B20Request={ROMID,RES} with a page that
// carries the sensor's simulated temperature in the element Temperature_0.
// Every member may be called from any thread while the server runs.
class GatewaySimulator final {
public:
    explicit GatewaySimulator(SimulatorOptions options = {});
    ~GatewaySimulator();                           // stops
    GatewaySimulator(const GatewaySimulator &) = delete;
    GatewaySimulator &operator=(const GatewaySimulator &) = delete;
    GatewaySimulator(GatewaySimulator &&) = delete;
    GatewaySimulator &operator=(GatewaySimulator &&) = delete;

    // Binds and serves on background threads; returns once the socket is
    // listening. A restart after stop() binds the port of the previous run
    // when options.port was 0, so clients find the gateway where it was.
    bool start(std::string *error = nullptr);
    // Returns promptly, also while requests are stalled or converting; open
    // connections are closed.
    void stop();
    bool running() const;
    int port() const;                              // the bound port (that of the last run after stop)

    // Empty romId = every sensor; a per-sensor fault wins over the one for
    // every sensor. Fault::None clears the entry for that romId (or the
    // every-sensor one).
    void setFault(Fault fault, const std::string &romId = {});
    void clearFaults();

    // The newest raw request targets (path and query exactly as on the
    // request line), at most options.targetHistory of them, in arrival order,
    // kept across restarts; requestCount() counts every request.
    std::vector<std::string> requestTargets() const;
    std::size_t requestCount() const;
    void clearRequests();
    // TCP connections accepted since construction; shows whether clients reuse them.
    std::size_t connectionCount() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// The Dallas/Maxim 1-Wire CRC-8 (x^8 + x^5 + x^4 + 1, reflected, initial 0).
std::uint8_t onewireCrc8(const std::uint8_t *data, std::size_t len);
// 16 hex digits (either case), most significant byte first: CRC, 48-bit
// serial, family code 28; the CRC covers the other seven bytes in bus order.
bool isValidRomId(std::string_view romId, std::string *why = nullptr);

} // namespace kestrin::sim
