#include "desktopnotifications.h"

#include <QDBusMessage>
#include <QFileInfo>
#include <QVariantMap>

namespace kestrin {

namespace {

// A session bus to talk to: the one named in the environment, or the one
// systemd's user manager keeps at $XDG_RUNTIME_DIR/bus, which a user service
// may be started without being told of (D-Bus finds it there by itself).
// With neither, none is asked for: D-Bus would try to start one for an X
// display, on a server with no desktop to show a notification.
bool hasSessionBus()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

} // namespace

DesktopNotifications::DesktopNotifications()
    : m_bus(hasSessionBus() ? QDBusConnection::sessionBus() : QDBusConnection(QStringLiteral("none")))
{
}

void DesktopNotifications::notify(const QString &summary, const QString &body, bool urgent)
{
    if (!m_bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // An alarm stays on screen until it is dismissed; its clearing does not.
    const QVariantMap hints{{QStringLiteral("urgency"), QVariant::fromValue(uchar(urgent ? 2 : 1))}};
    call << QStringLiteral("kestrin-bridge") << uint(0)
         << (urgent ? QStringLiteral("dialog-warning") : QStringLiteral("dialog-information")) << summary << body
         << QStringList() << hints << int(-1);
    // Sent without waiting for the answer: a slow daemon holds up nothing.
    m_bus.send(call);
}

} // namespace kestrin
