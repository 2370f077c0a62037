#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QToolBar>

class QAction;
class QActionGroup;

namespace kestrin {

class ToolbarIcons;

// The main window's toolbar `tbToolBar`: 17 positions, icons only, taken from
// the image list by key. It is an ordinary child widget; the window places it
// along the top edge of its client area itself.
class ToolBar final : public QToolBar
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ToolBar)

public:
    struct Position
    {
        enum Style { Button, Separator, Group };
        QString key; // empty for a separator
        Style style;
    };

    // The positions left to right.
    static const QList<Position> &positions();

    explicit ToolBar(const ToolbarIcons &images, QWidget *parent = nullptr);

    // The keyed button, or null for a key the bar does not have.
    QAction *button(const QString &key) const;
    // The button's key; empty for a separator, a foreign action or null.
    static QString Key(const QAction *button);

    // Height of the bar in the window: 336 twips at the screen's resolution.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    // Every click on a keyed button, group buttons included, also when the
    // pressed alignment button is pressed again.
    void ButtonClick(QAction *button);

protected:
    void changeEvent(QEvent *event) override;

private:
    void applyTightLayout();
    int designHeight() const;

    QHash<QString, QAction *> m_buttons;
    QActionGroup *m_alignment = nullptr;
};

} // namespace kestrin
