#include "helpviewer.h"

namespace kestrin {

namespace {
class UnavailableHelpViewer final : public HelpViewer
{
public:
    std::optional<QString> WinHelp(quintptr, const QByteArray &, quint32, const void *) override
    {
        return QStringLiteral("The help viewer is not available on this system.");
    }
};
} // namespace

std::unique_ptr<HelpViewer> makePlatformHelpViewer()
{
    return std::make_unique<UnavailableHelpViewer>();
}

} // namespace kestrin
