#include "openwindows.h"

#include <QDialog>

namespace kestrin {

void OpenWindows::add(QWidget *window)
{
    m_windows.append(window);
}

void OpenWindows::remove(QWidget *window)
{
    m_windows.removeAll(window);
}

qsizetype OpenWindows::count() const
{
    return m_windows.size();
}

QWidget *OpenWindows::at(qsizetype index) const
{
    return index >= 0 && index < m_windows.size() ? m_windows.at(index).data() : nullptr;
}

void OpenWindows::unload(qsizetype index)
{
    QWidget *window = at(index);
    if (index >= 0 && index < m_windows.size())
        m_windows.removeAt(index);
    if (!window)
        return;
    if (auto *dialog = qobject_cast<QDialog *>(window))
        dialog->reject();
    else
        window->close();
}

} // namespace kestrin
