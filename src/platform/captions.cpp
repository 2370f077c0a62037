#include "captions.h"

#include <QAbstractButton>
#include <QLabel>

namespace kestrin {

namespace {

QSize wholeSize(const QWidget *control, int rightEdge)
{
    if (auto *label = qobject_cast<const QLabel *>(control)) {
        if (label->text().isEmpty())
            return label->size();
        if (label->wordWrap())
            return {label->width(), std::max(label->height(), label->heightForWidth(label->width()))};
    } else if (auto *button = qobject_cast<const QAbstractButton *>(control)) {
        if (button->text().isEmpty())
            return button->size();
    } else {
        return control->size();
    }
    // Never past the window's edge, where the caption would be cut again.
    const QSize hint = control->sizeHint();
    const int room = rightEdge - control->x();
    return {std::max(control->width(), std::min(hint.width(), room)), std::max(control->height(), hint.height())};
}

} // namespace

void Captions::showWhole(QWidget *root, int rightEdge)
{
    const QList<QWidget *> controls = root->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (QWidget *control : controls) {
        const QSize size = wholeSize(control, rightEdge);
        if (size != control->size())
            control->resize(size);
    }
}

} // namespace kestrin
