#include "toolbar.h"

#include "toolbaricons.h"
#include "twips.h"

#include <QAction>
#include <QActionGroup>
#include <QEvent>
#include <QLayout>

namespace kestrin {

namespace {
constexpr int designHeightTwips = 336;
} // namespace

const QList<ToolBar::Position> &ToolBar::positions()
{
    static const QList<Position> positions = {
        {QStringLiteral("New"), Position::Button},
        {QStringLiteral("Open"), Position::Button},
        {QStringLiteral("Save"), Position::Button},
        {QString(), Position::Separator},
        {QStringLiteral("Print"), Position::Button},
        {QString(), Position::Separator},
        {QStringLiteral("Cut"), Position::Button},
        {QStringLiteral("Copy"), Position::Button},
        {QStringLiteral("Paste"), Position::Button},
        {QString(), Position::Separator},
        {QStringLiteral("Bold"), Position::Button},
        {QStringLiteral("Italic"), Position::Button},
        {QStringLiteral("Underline"), Position::Button},
        {QString(), Position::Separator},
        {QStringLiteral("Align Left"), Position::Group},
        {QStringLiteral("Center"), Position::Group},
        {QStringLiteral("Align Right"), Position::Group},
    };
    return positions;
}

ToolBar::ToolBar(const ToolbarIcons &images, QWidget *parent)
    : QToolBar(parent)
{
    setObjectName(QStringLiteral("tbToolBar"));
    setAccessibleName(QStringLiteral("Toolbar"));
    setMovable(false);
    setFloatable(false);
    setFocusPolicy(Qt::NoFocus);
    setContextMenuPolicy(Qt::PreventContextMenu);
    setIconSize(QSize(16, 16));
    setToolButtonStyle(Qt::ToolButtonIconOnly);

    // Exclusive: pressing the pressed button again keeps it pressed, and
    // nothing is pressed until the first press.
    m_alignment = new QActionGroup(this);
    m_alignment->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);

    for (const Position &position : positions()) {
        if (position.style == Position::Separator) {
            addSeparator();
            continue;
        }
        QAction *action = addAction(images.icon(position.key), position.key);
        action->setObjectName(position.key);
        action->setToolTip(position.key);
        action->setData(position.key);
        if (position.style == Position::Group) {
            action->setCheckable(true);
            m_alignment->addAction(action);
        }
        connect(action, &QAction::triggered, this, [this, action] { Q_EMIT ButtonClick(action); });
        m_buttons.insert(position.key, action);
    }

    applyTightLayout();
}

QAction *ToolBar::button(const QString &key) const
{
    return m_buttons.value(key, nullptr);
}

QString ToolBar::Key(const QAction *button)
{
    if (!button || button->isSeparator())
        return QString();
    return button->data().toString();
}

int ToolBar::designHeight() const
{
    return Twips::y(this, designHeightTwips);
}

QSize ToolBar::sizeHint() const
{
    return QSize(QToolBar::sizeHint().width(), designHeight());
}

QSize ToolBar::minimumSizeHint() const
{
    return QSize(QToolBar::minimumSizeHint().width(), designHeight());
}

void ToolBar::changeEvent(QEvent *event)
{
    QToolBar::changeEvent(event);
    if (event->type() == QEvent::StyleChange)
        applyTightLayout();
}

// The style's default frame and item margins would make the bar taller than
// its 336 twips; the buttons themselves already fill that height.
void ToolBar::applyTightLayout()
{
    setContentsMargins(0, 0, 0, 0);
    if (QLayout *box = layout()) {
        box->setContentsMargins(0, 0, 0, 0);
        box->setSpacing(0);
    }
}

} // namespace kestrin
