#pragma once

#include <QString>

// What the program says about itself: the title every uncaptioned message box
// carries, the version the About dialog shows, and the main window's caption.
namespace kestrin::appinfo {

inline QString title() { return QStringLiteral("Kestrin-3"); }
inline QString mainCaption() { return QStringLiteral("Project1"); }

inline constexpr qint16 versionMajor = 1;
inline constexpr qint16 versionMinor = 0;
inline constexpr qint16 versionRevision = 0;

} // namespace kestrin::appinfo
