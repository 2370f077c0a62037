#include "desktopnotifications.h"

#include <QDBusMessage>
#include <QVariantMap>

namespace kestrin {

DesktopNotifications::DesktopNotifications()
    : m_bus(qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")
                ? QDBusConnection(QStringLiteral("none"))
                : QDBusConnection::sessionBus())
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
