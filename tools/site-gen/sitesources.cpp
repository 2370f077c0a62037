#include "sitesources.h"

namespace kestrin {

// Only checked values go in: a host of letters, digits, ".-:[]", ROM ids of
// hex digits, a site id of letters, digits, "-_". None needs escaping in C++
// or CMake. Names stay out: the logger never shows them.

QByteArray SiteSources::builtSite(const SiteFile &site)
{
    QByteArray text = "// Written by kestrin-site-gen from " + site.fileName.toUtf8().replace('\n', ' ')
        + ". Do not edit: the\n// build writes it again whenever the site file changes.\n"
          "#include \"builtsite.h\"\n\nnamespace kestrin {\n\n"
          "QString BuiltSite::gatewayHost()\n{\n    return QStringLiteral(\""
        + site.gateway.authority().toLatin1() + "\");\n}\n\n"
          "std::vector<QString> BuiltSite::romIds()\n{\n    return {\n";
    for (const SiteFile::Sensor &sensor : site.sensors)
        text += "        QStringLiteral(\"" + sensor.rom.toLatin1() + "\"), // sensor " + QByteArray::number(sensor.number) + "\n";
    text += "    };\n}\n\nqint16 BuiltSite::sensorCount()\n{\n    return " + QByteArray::number(site.sensorCount())
        + ";\n}\n\n} // namespace kestrin\n";
    return text;
}

QByteArray SiteSources::cmakeValues(const SiteFile &site)
{
    return "# Written by kestrin-site-gen.\n"
           "set(KESTRIN_SITE_HOST \"" + site.gateway.authority().toLatin1() + "\")\n"
           "set(KESTRIN_SITE_SENSORS " + QByteArray::number(site.sensorCount()) + ")\n"
           "set(KESTRIN_SITE_ID \"" + site.siteId().toLatin1() + "\")\n";
}

} // namespace kestrin
