#include "registry.h"

#include <QDir>
#include <QStandardPaths>
#include <QString>

#include <cstring>

namespace kestrin {

namespace {

// Desktop system information programs, most informative first.
constexpr const char *toolCandidates[] = {
    "hardinfo2",
    "hardinfo",
    "kinfocenter",
    "gnome-system-monitor",
    "xfce4-taskmanager",
};

} // namespace

QByteArray StandInRegistry::systemInfoTool()
{
    for (const char *name : toolCandidates) {
        const QString found = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!found.isEmpty())
            return QDir::toNativeSeparators(found).toLocal8Bit();
    }
    return {};
}

long StandInRegistry::RegOpenKeyExA(quint32 hKey, const QByteArray &subKey, quint32 options, quint32 samDesired,
                                    quint64 *phkResult)
{
    if (phkResult == nullptr || options != 0)
        return 87; // ERROR_INVALID_PARAMETER
    *phkResult = 0;
    // Key names compare without regard to case, as on Windows.
    if (hKey != reg::HKeyLocalMachine || subKey.compare(reg::SysInfoKey, Qt::CaseInsensitive) != 0)
        return reg::ErrorFileNotFound;
    if ((samDesired & reg::KeyWriteRights) != 0)
        return reg::ErrorAccessDenied;
    const QByteArray tool = systemInfoTool();
    if (tool.isEmpty())
        return reg::ErrorFileNotFound;
    const quint64 handle = m_nextHandle++;
    m_open.insert(handle, tool);
    *phkResult = handle;
    return reg::ErrorSuccess;
}

long StandInRegistry::RegQueryValueExA(quint64 hKey, const QByteArray &valueName, quint32 *lpReserved,
                                       quint32 *lpType, char *data, quint32 *cbData)
{
    const auto it = m_open.constFind(hKey);
    if (it == m_open.constEnd())
        return reg::ErrorInvalidHandle;
    if (lpReserved != nullptr || (data != nullptr && cbData == nullptr))
        return 87; // ERROR_INVALID_PARAMETER
    if (valueName.compare(reg::SysInfoValue, Qt::CaseInsensitive) != 0)
        return reg::ErrorFileNotFound;

    // A REG_SZ's data includes its terminating zero.
    const quint32 needed = static_cast<quint32>(it->size()) + 1;
    if (lpType != nullptr)
        *lpType = reg::TypeSz;
    if (data == nullptr) {
        if (cbData != nullptr)
            *cbData = needed;
        return reg::ErrorSuccess;
    }
    const quint32 room = *cbData;
    *cbData = needed;
    if (room < needed)
        return reg::ErrorMoreData;
    std::memcpy(data, it->constData(), needed);
    return reg::ErrorSuccess;
}

long StandInRegistry::RegCloseKey(quint64 hKey)
{
    return m_open.remove(hKey) ? reg::ErrorSuccess : reg::ErrorInvalidHandle;
}

#ifndef Q_OS_WIN
std::unique_ptr<Registry> makePlatformRegistry()
{
    return std::make_unique<StandInRegistry>();
}
#endif

} // namespace kestrin
