#pragma once

#include "sitefile.h"

#include <QByteArray>

namespace kestrin {

// What the build takes from a site file, written as sources: the table
// kestrin-3 is compiled with, and the values the CMake files need.
class SiteSources final
{
public:
    // A definition of BuiltSite (src/app/builtsite.h).
    static QByteArray builtSite(const SiteFile &site);
    // set() commands: KESTRIN_SITE_HOST, KESTRIN_SITE_SENSORS, KESTRIN_SITE_ID.
    static QByteArray cmakeValues(const SiteFile &site);
};

} // namespace kestrin
