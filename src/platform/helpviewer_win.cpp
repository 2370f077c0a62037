// The real help viewer: WinHelpA, looked up at run time because current
// Windows versions no longer ship it.
#include "helpviewer.h"

#include <windows.h>

// windows.h maps the name to WinHelpA; ours is the interface's method.
#undef WinHelp

namespace kestrin {

namespace {
using WinHelpAFn = BOOL(WINAPI *)(HWND, LPCSTR, UINT, ULONG_PTR);

class WindowsHelpViewer final : public HelpViewer
{
public:
    std::optional<QString> WinHelp(quintptr window, const QByteArray &helpFile, quint32 command,
                                   const void *data) override
    {
        HMODULE user32 = ::GetModuleHandleA("user32.dll");
        if (!user32)
            return QStringLiteral("user32.dll is not loaded.");
        auto winHelp = reinterpret_cast<WinHelpAFn>(reinterpret_cast<void *>(::GetProcAddress(user32, "WinHelpA")));
        if (!winHelp)
            return QStringLiteral("The help viewer (WinHelpA) is not available on this system.");
        winHelp(reinterpret_cast<HWND>(window), helpFile.constData(), command, reinterpret_cast<ULONG_PTR>(data));
        return std::nullopt;
    }
};
} // namespace

std::unique_ptr<HelpViewer> makePlatformHelpViewer()
{
    return std::make_unique<WindowsHelpViewer>();
}

} // namespace kestrin
