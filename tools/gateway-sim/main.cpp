// onewire-gateway-sim: serves simulated DS18B20 pages the way the networked
// 1-Wire gateway does, so the logger can run without the hardware.

#include "gatewaysimulator.h"
#include "sitereader.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <optional>
#include <pthread.h>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using kestrin::sim::Fault;

constexpr std::string_view Usage =
    "Usage: onewire-gateway-sim [options]\n"
    "Stands in for the networked 1-Wire gateway: answers\n"
    "  GET /1Wire/ReadDS18B20.html?DS18B20Request={ROMID,RES}\n"
    "with a page whose element Temperature_0 holds a simulated reading.\n"
    "\n"
    "Options:\n"
    "  --bind ADDR           address to listen on (default 127.0.0.1)\n"
    "  --port N              port to listen on (default 8031; 0 = any free port)\n"
    "  --conversion-ms N     answer after N ms instead of the DS18B20's conversion\n"
    "                        time for the resolution (750 ms at 12 bits ... 93.75 at 9)\n"
    "  --stall-ms N          how long a stalled read hangs before the connection\n"
    "                        is closed (default 30000)\n"
    "  --oversize-bytes N    body size of an oversized page (default 2097152)\n"
    "  --non-numeric-text T  the value sent by the non-numeric fault (default n/a)\n"
    "  --fault KIND[:ROMID]  make reads of ROMID (or of every sensor) fail; repeatable.\n"
    "                        KIND: missing-element, http-500, close, stall,\n"
    "                        empty-value, non-numeric, oversized, power-on-85\n"
    "  --seed N              seed of the simulated temperatures (default 1)\n"
    "  --reading ROMID=TEXT  serve TEXT as the value of ROMID instead of a simulated\n"
    "                        temperature; repeatable\n"
    "  --site FILE           only the sensors of this site file are on the bus; a read\n"
    "                        of another id gets status 500, as from a real gateway\n"
    "  --help                show this text\n";

struct FaultRequest {
    Fault fault;
    std::string romId;
};

[[noreturn]] void usageError(const std::string &message)
{
    std::cerr << "onewire-gateway-sim: " << message << "\nTry --help.\n";
    std::exit(2);
}

std::optional<long long> parseNumber(std::string_view text, long long min, long long max)
{
    if (text.empty())
        return std::nullopt;
    long long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > max)
            return std::nullopt;
    }
    if (value < min)
        return std::nullopt;
    return value;
}

} // namespace

int main(int argc, char **argv)
{
    kestrin::sim::SimulatorOptions options;
    options.port = 8031;
    std::vector<FaultRequest> faults;
    std::optional<std::string> sitePath;

    const std::vector<std::string_view> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << Usage;
            return 0;
        }
        if (i + 1 >= args.size())
            usageError("unknown option or missing value: " + std::string(arg));
        const std::string_view value = args[++i];
        const auto number = [&](long long min, long long max) {
            const auto n = parseNumber(value, min, max);
            if (!n)
                usageError("bad value for " + std::string(arg) + ": " + std::string(value));
            return *n;
        };
        if (arg == "--bind") {
            options.bindAddress = value;
        } else if (arg == "--port") {
            options.port = static_cast<int>(number(0, 65535));
        } else if (arg == "--conversion-ms") {
            options.conversionMs = static_cast<int>(number(0, 600000));
        } else if (arg == "--stall-ms") {
            options.stallMs = static_cast<int>(number(0, 3600000));
        } else if (arg == "--oversize-bytes") {
            options.oversizeBytes = static_cast<std::size_t>(number(0, 1LL << 30));
        } else if (arg == "--non-numeric-text") {
            options.nonNumericText = value;
        } else if (arg == "--seed") {
            options.seed = static_cast<std::uint64_t>(number(0, std::numeric_limits<long long>::max()));
        } else if (arg == "--reading") {
            const std::size_t equals = value.find('=');
            std::string romId(value.substr(0, equals));
            for (char &c : romId)
                c = (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
            std::string why;
            if (equals == std::string_view::npos || !kestrin::sim::isValidRomId(romId, &why))
                usageError("bad --reading " + std::string(value) + (why.empty() ? "" : ": " + why));
            options.fixedReadings[romId] = std::string(value.substr(equals + 1));
        } else if (arg == "--site") {
            sitePath = std::string(value);
        } else if (arg == "--fault") {
            const std::size_t colon = value.find(':');
            const auto fault = kestrin::sim::faultFromName(value.substr(0, colon));
            if (!fault)
                usageError("unknown fault kind: " + std::string(value.substr(0, colon)));
            std::string romId;
            if (colon != std::string_view::npos) {
                romId = value.substr(colon + 1);
                std::string why;
                if (!kestrin::sim::isValidRomId(romId, &why))
                    usageError("bad ROM id in --fault " + std::string(value) + ": " + why);
            }
            faults.push_back({*fault, std::move(romId)});
        } else {
            usageError("unknown option: " + std::string(arg));
        }
    }

    if (sitePath) {
        const kestrin::SiteReader::Result site = kestrin::SiteReader::read(QString::fromLocal8Bit(*sitePath));
        if (const auto *error = std::get_if<kestrin::SiteError>(&site)) {
            std::cerr << "onewire-gateway-sim: " << error->text().toLocal8Bit().constData() << '\n';
            return 2;
        }
        for (const kestrin::SiteFile::Sensor &sensor : std::get<kestrin::SiteFile>(site).sensors)
            options.bus.insert(sensor.rom.toStdString());
    }

    // Block the stop signals before any server thread exists, so that they
    // all inherit the mask and only sigwait below sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    kestrin::sim::GatewaySimulator simulator(options);
    for (const auto &f : faults)
        simulator.setFault(f.fault, f.romId);

    std::string error;
    if (!simulator.start(&error)) {
        std::cerr << "onewire-gateway-sim: " << error << '\n';
        return 1;
    }
    std::cout << "onewire-gateway-sim: listening on http://" << options.bindAddress << ':' << simulator.port()
              << "/1Wire/ReadDS18B20.html" << std::endl;

    int signal = 0;
    sigwait(&stopSignals, &signal);
    simulator.stop();
    std::cout << "onewire-gateway-sim: stopped after " << simulator.requestCount() << " requests" << std::endl;
    return 0;
}
