#pragma once

#include <QProcessEnvironment>
#include <QString>

#include <optional>

namespace kestrin {

// Where the programs find the site file when none is named: the XDG base
// directory rules. $XDG_CONFIG_HOME/Kestrin-3/site.ini ($HOME/.config when
// unset or empty), then each folder of $XDG_CONFIG_DIRS (/etc/xdg when unset
// or empty) + /Kestrin-3/site.ini, the first that exists. Relative folders in
// those variables are ignored, as the rules say.
class SiteLocator final
{
public:
    static constexpr const char *RelativePath = "Kestrin-3/site.ini";

    // `explicitPath` (from --site) wins, whether it exists or not: reading
    // it then says what is wrong. nullopt: no site file.
    static std::optional<QString> find(const QString &explicitPath, const QProcessEnvironment &environment);
};

} // namespace kestrin
