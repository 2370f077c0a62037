// Feeds arbitrary bytes to the site reader and checks its promises: an
// error names a line of the text (or none) and says something; a site that
// is taken is whole: a gateway, sensors numbered 1..n without holes (n at
// most 11) with checked, distinct, upper-case ROM ids and names of at most
// 40 characters, and low below high wherever both are set.

#include "romid.h"
#include "sitereader.h"

#include <QSet>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace kestrin;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const SiteReader::Result result = SiteReader::parse(bytes, QStringLiteral("fuzz.ini"));

    if (const auto *error = std::get_if<SiteError>(&result)) {
        check(error->line >= 0 && error->line <= bytes.count('\n') + 1);
        check(!error->message.isEmpty());
        check(error->text().startsWith(QStringLiteral("fuzz.ini:")));
        return 0;
    }
    const SiteFile &site = std::get<SiteFile>(result);
    check(!site.gateway.host.isEmpty());
    check(site.sensorCount() >= 1 && site.sensorCount() <= SiteFile::MaxSensors);
    QSet<QString> roms;
    for (int n = 1; n <= site.sensorCount(); ++n) {
        const SiteFile::Sensor &sensor = *site.sensor(n);
        check(sensor.number == n);
        check(sensor.rom == sensor.rom.toUpper());
        const QByteArray rom = sensor.rom.toLatin1();
        check(RomId::check(std::string_view(rom.constData(), std::size_t(rom.size()))).ok());
        check(!roms.contains(sensor.rom));
        roms.insert(sensor.rom);
        check(sensor.name.toUcs4().size() <= SiteFile::MaxNameLength);
        check(!sensor.low || !sensor.high || *sensor.low < *sensor.high);
        check(sensor.delay >= 1);
    }
    return 0;
}
