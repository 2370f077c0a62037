// The registry through advapi32. Built on Windows only.
#include "registry.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace kestrin {

namespace {

// Predefined roots such as HKEY_LOCAL_MACHINE are 32-bit values that the
// headers sign-extend to a pointer; do the same for the value passed in.
HKEY rootKey(quint32 hKey)
{
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(hKey)));
}

HKEY openedKey(quint64 hKey)
{
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(hKey));
}

class Win32Registry final : public Registry
{
public:
    Win32Registry() = default;
    Q_DISABLE_COPY_MOVE(Win32Registry)

    long RegOpenKeyExA(quint32 hKey, const QByteArray &subKey, quint32 options, quint32 samDesired,
                       quint64 *phkResult) override
    {
        HKEY opened = nullptr;
        const LSTATUS rc = ::RegOpenKeyExA(rootKey(hKey), subKey.constData(), static_cast<DWORD>(options),
                                           static_cast<REGSAM>(samDesired), &opened);
        if (phkResult != nullptr)
            *phkResult = rc == ERROR_SUCCESS ? static_cast<quint64>(reinterpret_cast<ULONG_PTR>(opened)) : 0;
        return rc;
    }

    long RegQueryValueExA(quint64 hKey, const QByteArray &valueName, quint32 *lpReserved, quint32 *lpType,
                          char *data, quint32 *cbData) override
    {
        // DWORD is unsigned long here, not quint32: go through locals.
        DWORD reserved = lpReserved != nullptr ? static_cast<DWORD>(*lpReserved) : 0;
        DWORD type = 0;
        DWORD size = cbData != nullptr ? static_cast<DWORD>(*cbData) : 0;
        const LSTATUS rc = ::RegQueryValueExA(openedKey(hKey), valueName.constData(),
                                              lpReserved != nullptr ? &reserved : nullptr,
                                              lpType != nullptr ? &type : nullptr, reinterpret_cast<LPBYTE>(data),
                                              cbData != nullptr ? &size : nullptr);
        if (lpType != nullptr)
            *lpType = static_cast<quint32>(type);
        if (cbData != nullptr)
            *cbData = static_cast<quint32>(size);
        return rc;
    }

    long RegCloseKey(quint64 hKey) override
    {
        return ::RegCloseKey(openedKey(hKey));
    }
};

} // namespace

std::unique_ptr<Registry> makePlatformRegistry()
{
    return std::make_unique<Win32Registry>();
}

} // namespace kestrin
