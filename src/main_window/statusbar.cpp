#include "statusbar.h"

#include "localeformats.h"
#include "twips.h"

#include <QAccessibleWidget>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QTimer>

#include <utility>

namespace kestrin {

namespace {
constexpr int designHeightTwips = 276;
constexpr int panelMinimumTwips = 1440;
constexpr int msecsPerMinute = 60 * 1000;

// What each panel shows; its own name is the text it shows.
const char *const panelDescriptions[StatusBar::panelCount] = {"Status", "Date", "Time"};

// Screen readers look for a status bar by its role, which Qt gives only to
// QStatusBar; this plain widget would be a nameless filler.
QAccessibleInterface *accessibleStatusBar(const QString &className, QObject *object)
{
    if (className != QLatin1String(StatusBar::staticMetaObject.className()) || !object->isWidgetType())
        return nullptr;
    return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::StatusBar);
}
} // namespace

StatusBar::StatusBar(Clock clock, QWidget *parent)
    : QWidget(parent)
    , m_clock(std::move(clock))
{
    init();
}

void StatusBar::init()
{
    setObjectName(QStringLiteral("sbStatusBar"));
    setFocusPolicy(Qt::NoFocus);
    // Once for the program: a factory stays installed.
    static const bool roleKnown = [] {
        QAccessible::installFactory(accessibleStatusBar);
        return true;
    }();
    Q_UNUSED(roleKnown);
    setAccessibleName(QStringLiteral("Status bar"));

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);

    for (int i = 0; i < panelCount; ++i) {
        auto *panel = new QLabel(this);
        panel->setObjectName(QStringLiteral("sbStatusBar.panel%1").arg(i + 1));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        panel->setTextFormat(Qt::PlainText);
        panel->setMinimumWidth(Twips::x(this, panelMinimumTwips));
        panel->setAccessibleDescription(QString::fromLatin1(panelDescriptions[i]));
        // The first panel springs; the other two keep the width their text needs.
        if (i == 0)
            panel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        else
            panel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
        row->addWidget(panel, i == 0 ? 1 : 0);
        m_panels[i] = panel;
    }
    m_panels[0]->setText(QStringLiteral("Status"));

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("sbStatusBar.clock"));
    m_timer->setSingleShot(true);
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &StatusBar::refresh);

    refresh();
}

bool StatusBar::setPanelText(int panel, const QString &text)
{
    if (panel < 1 || panel > panelCount)
        return false;
    m_panels[panel - 1]->setText(text);
    return true;
}

QString StatusBar::panelText(int panel) const
{
    if (panel < 1 || panel > panelCount)
        return QString();
    return m_panels[panel - 1]->text();
}

void StatusBar::refresh()
{
    const QDateTime now = m_clock();
    const QLocale locale;
    m_panels[1]->setText(locale.toString(now.date(), LocaleFormats::shortDateFourDigitYear(locale)));
    m_panels[2]->setText(locale.toString(now.time(), LocaleFormats::hoursAndMinutes(locale)));

    // A wake-up that comes a little early shows the old minute once more and
    // then waits only the few milliseconds that are left.
    m_timer->start(msecsToNextMinute(now));
}

int StatusBar::msecsToNextMinute(const QDateTime &now)
{
    const QTime time = now.time();
    if (!time.isValid())
        return msecsPerMinute;
    const int intoMinute = time.second() * 1000 + time.msec();
    return qBound(1, msecsPerMinute - intoMinute, msecsPerMinute);
}

QSize StatusBar::sizeHint() const
{
    return QSize(QWidget::sizeHint().width(), Twips::y(this, designHeightTwips));
}

QSize StatusBar::minimumSizeHint() const
{
    return QSize(QWidget::minimumSizeHint().width(), Twips::y(this, designHeightTwips));
}

} // namespace kestrin
