#pragma once

#include <QDateTime>
#include <QString>
#include <QWidget>

#include <functional>

class QLabel;
class QTimer;

namespace kestrin {

// The main window's status bar `sbStatusBar`: three sunken panels, "Status"
// (taking the spare width), the date and the time. It is an ordinary child
// widget that the window places along the bottom edge of its client area,
// and it keeps the date and time current on its own.
class StatusBar final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StatusBar)

public:
    using Clock = std::function<QDateTime()>;

    static constexpr int panelCount = 3;

    // `clock` gives the local date and time; a test hands in its own.
    explicit StatusBar(Clock clock, QWidget *parent = nullptr);

    // Panels are numbered from 1. A panel outside 1..3 is refused.
    bool setPanelText(int panel, const QString &text);
    QString panelText(int panel) const;

    // Rereads the clock into the date and time panels and waits for the next minute.
    void refresh();

    // Milliseconds from `now` to the start of the next minute (1..60000).
    static int msecsToNextMinute(const QDateTime &now);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

private:
    void init();

    Clock m_clock;
    QLabel *m_panels[panelCount] = {};
    QTimer *m_timer = nullptr;
};

} // namespace kestrin
