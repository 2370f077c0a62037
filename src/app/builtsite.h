#pragma once

#include <QString>

#include <vector>

namespace kestrin {

// The gateway and the sensors this copy of kestrin-3 reads, fixed when it is
// built. Without a site file: the built-in table (builtsite.cpp). With one,
// the build compiles the source kestrin-site-gen writes from it instead.
class BuiltSite final
{
public:
    static QString gatewayHost();
    static std::vector<QString> romIds(); // in table order
    static qint16 sensorCount();
};

} // namespace kestrin
