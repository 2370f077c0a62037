#pragma once

#include <QByteArray>
#include <QHash>
#include <QtGlobal>

#include <memory>

namespace kestrin {

// Values the native registry API uses. Prefixed names, so that they do not
// clash with the macros of <windows.h> in the Windows implementation.
namespace reg {
inline constexpr quint32 HKeyLocalMachine = 0x80000002u;

// KEY_READ: read control, query value, enumerate subkeys, notify.
inline constexpr quint32 KeyRead = 0x20019u;
// The rights that would let a caller change a key.
inline constexpr quint32 KeyWriteRights = 0x02u | 0x04u | 0x20u;

// Where Windows records its system information tool (MSINFO32.EXE): first
// the tool's full path, then the folder that holds it.
inline constexpr char SysInfoKey[] = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
inline constexpr char SysInfoValue[] = "PATH";
inline constexpr char SysInfoFolderKey[] = "SOFTWARE\\Microsoft\\Shared Tools Location";
inline constexpr char SysInfoFolderValue[] = "MSINFO";

inline constexpr quint32 TypeSz = 1;
inline constexpr quint32 TypeDword = 4;

inline constexpr long ErrorSuccess = 0;
inline constexpr long ErrorFileNotFound = 2;
inline constexpr long ErrorAccessDenied = 5;
inline constexpr long ErrorInvalidHandle = 6;
inline constexpr long ErrorMoreData = 234;
} // namespace reg

// The three advapi32 registry calls the program needs, with their native
// arguments and return codes, so that a test can hand in a scripted hive.
// Strings are 8-bit, in the system code page.
class Registry
{
public:
    virtual ~Registry() = default;

    // Opens `subKey` under the predefined root `hKey` (a 32-bit handle value
    // such as reg::HKeyLocalMachine) and stores the opened key in *phkResult.
    virtual long RegOpenKeyExA(quint32 hKey, const QByteArray &subKey, quint32 options, quint32 samDesired,
                               quint64 *phkResult) = 0;

    // Reads `valueName` of an opened key into data[0 .. *cbData). *cbData is
    // overwritten with the length of the value's data; reg::ErrorMoreData when
    // the buffer is too small. lpReserved must be null.
    virtual long RegQueryValueExA(quint64 hKey, const QByteArray &valueName, quint32 *lpReserved, quint32 *lpType,
                                  char *data, quint32 *cbData) = 0;

    virtual long RegCloseKey(quint64 hKey) = 0;
};

// Stand-in for platforms without a registry. It holds no hive, with one
// exception: the key and value where Windows records the path of its system
// information tool answer with the desktop's own such tool when one is on
// the PATH, so that the About dialog's System Info does something useful.
// It refuses write rights, as Windows does on HKEY_LOCAL_MACHINE to a
// standard user.
class StandInRegistry final : public Registry
{
public:
    StandInRegistry() = default;
    Q_DISABLE_COPY_MOVE(StandInRegistry)

    long RegOpenKeyExA(quint32 hKey, const QByteArray &subKey, quint32 options, quint32 samDesired,
                       quint64 *phkResult) override;
    long RegQueryValueExA(quint64 hKey, const QByteArray &valueName, quint32 *lpReserved, quint32 *lpType,
                          char *data, quint32 *cbData) override;
    long RegCloseKey(quint64 hKey) override;

    // The absolute path of the first system information program found on the
    // PATH, empty when there is none.
    static QByteArray systemInfoTool();

private:
    quint64 m_nextHandle = 0x100;
    // Open keys, each with the tool path found when it was opened.
    QHash<quint64, QByteArray> m_open;
};

// The registry of this platform: advapi32 on Windows, the stand-in elsewhere.
std::unique_ptr<Registry> makePlatformRegistry();

} // namespace kestrin
