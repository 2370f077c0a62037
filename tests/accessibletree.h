#pragma once

// A window's accessibility tree as Qt hands it to a screen reader.

#include <QAccessible>
#include <QStringList>

namespace kestrin::testing {

// Every object below `root` that a keyboard user can reach (focusable and
// not invisible) but that has no name, as "role objectName".
inline QStringList unnamedFocusable(QObject *root)
{
    QStringList unnamed;
    QList<QAccessibleInterface *> pending{QAccessible::queryAccessibleInterface(root)};
    while (!pending.isEmpty()) {
        QAccessibleInterface *iface = pending.takeLast();
        if (!iface || !iface->isValid())
            continue;
        const QAccessible::State state = iface->state();
        if (state.focusable && !state.invisible && iface->text(QAccessible::Name).trimmed().isEmpty()) {
            const QObject *object = iface->object();
            unnamed << QStringLiteral("role %1 %2").arg(int(iface->role())).arg(object ? object->objectName() : QString());
        }
        for (int i = 0; i < iface->childCount(); ++i)
            pending << iface->child(i);
    }
    return unnamed;
}

} // namespace kestrin::testing
