#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

namespace kestrin {

// Help commands the viewer understands, with their native values.
namespace helpcmd {
inline constexpr quint32 Contents = 0x0003;
inline constexpr quint32 PartialKey = 0x0105;
} // namespace helpcmd

// The platform help viewer (WinHelp). The viewer's own answer is not looked
// at by anyone; what matters is whether it could be reached at all.
class HelpViewer
{
public:
    virtual ~HelpViewer() = default;
    // nullopt when the call was made; otherwise the description of what kept
    // it from being made.
    virtual std::optional<QString> WinHelp(quintptr window, const QByteArray &helpFile, quint32 command,
                                           const void *data) = 0;
};

// WinHelpA from user32 where the platform has it; elsewhere every call fails.
std::unique_ptr<HelpViewer> makePlatformHelpViewer();

} // namespace kestrin
