#include "messagebox.h"

#include "appinfo.h"

#include <QMessageBox>

namespace kestrin {

void QtMessageBoxService::MsgBox(QWidget *owner, const QString &prompt, int style, const QString &caption)
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (style & mb::IconMask) {
    case mb::IconExclamation: icon = QMessageBox::Warning; break;
    case mb::IconInformation: icon = QMessageBox::Information; break;
    default: break;
    }
    QMessageBox box(icon, caption.isEmpty() ? appinfo::title() : caption, prompt, QMessageBox::Ok, owner);
    box.exec();
}

} // namespace kestrin
