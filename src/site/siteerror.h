#pragma once

#include <QString>

namespace kestrin {

// Why a site file was refused, and where: shown in the GNU form
// "site.ini:7: message" that editors and IDEs jump to, or "site.ini: message"
// for what belongs to no one line.
struct SiteError
{
    QString file; // as the user gave it
    int line = 0; // 1-based; 0 for the file as a whole
    QString message;

    QString text() const;
    bool operator==(const SiteError &) const = default;
};

} // namespace kestrin
