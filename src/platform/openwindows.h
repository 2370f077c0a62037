#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

namespace kestrin {

// The application's loaded windows in the order they were loaded; the main
// window is entry 0. The close sequence unloads the later ones.
class OpenWindows final
{
public:
    void add(QWidget *window);
    void remove(QWidget *window);
    qsizetype count() const;
    QWidget *at(qsizetype index) const;
    // Unloads the window at index: closes it (which ends a modal dialog's own
    // loop) and drops it from the list.
    void unload(qsizetype index);

private:
    QList<QPointer<QWidget>> m_windows;
};

} // namespace kestrin
