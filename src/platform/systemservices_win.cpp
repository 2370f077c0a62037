// Files and processes through the Win32 API. Built on Windows only.
#include "systemservices.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

namespace kestrin {

bool PlatformSystemServices::fileExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    const std::wstring native = path.toStdWString();
    const DWORD attributes = ::GetFileAttributesW(native.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    constexpr DWORD notOrdinary = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    return (attributes & notOrdinary) == 0;
}

bool PlatformSystemServices::startProgram(const QString &commandLine, int windowStyle)
{
    if (commandLine.trimmed().isEmpty())
        return false;
    // CreateProcessW may write into the command line, so it gets its own copy.
    std::wstring line = commandLine.toStdWString();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(windowStyle);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    // Nothing watches the program once it runs.
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

} // namespace kestrin
