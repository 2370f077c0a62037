#pragma once

#include "bridgeservices.h"

#include <QDBusConnection>

namespace kestrin {

// org.freedesktop.Notifications on the session bus. Without a session bus
// (a server, a system service) nothing is shown and nothing is said; a
// user service finds the bus systemd keeps at $XDG_RUNTIME_DIR/bus.
class DesktopNotifications final : public DesktopNotifier
{
public:
    DesktopNotifications();

    void notify(const QString &summary, const QString &body, bool urgent) override;

private:
    QDBusConnection m_bus;
};

} // namespace kestrin
