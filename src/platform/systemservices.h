#pragma once

#include <QString>
#include <QtGlobal>

namespace kestrin {

// Window styles a started program may be given, with the native values.
namespace winstyle {
inline constexpr int NormalFocus = 1; // shown normally, with the focus
} // namespace winstyle

// Files and processes, behind an interface so that a test can script them.
class SystemServices
{
public:
    virtual ~SystemServices() = default;

    // True when `path` names an existing ordinary file: not a directory, and
    // not a hidden or system entry.
    virtual bool fileExists(const QString &path) = 0;

    // Starts the program that `commandLine` names, with the given window
    // style, and returns at once without waiting for it. False when the
    // program could not be started.
    virtual bool startProgram(const QString &commandLine, int windowStyle) = 0;
};

// The services of the running platform.
class PlatformSystemServices final : public SystemServices
{
public:
    PlatformSystemServices() = default;
    Q_DISABLE_COPY_MOVE(PlatformSystemServices)

    bool fileExists(const QString &path) override;
    bool startProgram(const QString &commandLine, int windowStyle) override;
};

} // namespace kestrin
