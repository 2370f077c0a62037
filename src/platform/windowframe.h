#pragma once

#include <QMargins>
#include <QRect>
#include <QtGlobal>

#include <optional>

class QWidget;

namespace kestrin {

// Where a top-level window's outer frame (title bar and borders included)
// is on the screen, in device-independent pixels, as the window system has
// it at the moment of the call.
class WindowFrame
{
public:
    virtual ~WindowFrame() = default;

    virtual QRect outerFrame(const QWidget &window) = 0;

    // The widths of the frame around the window's client area, also for a
    // window not shown yet (asked of the window manager beforehand where it
    // can tell). Nothing when they cannot be known yet.
    virtual std::optional<QMargins> frameExtents(QWidget &window) = 0;
};

// The frame of the running platform. On X11 it asks the X server each time:
// Qt's own frame geometry lags behind the window manager, whose frame
// changes with the window state (a maximized window loses its borders).
// Elsewhere it is QWidget::frameGeometry().
class PlatformWindowFrame final : public WindowFrame
{
public:
    PlatformWindowFrame() = default;
    Q_DISABLE_COPY_MOVE(PlatformWindowFrame)

    QRect outerFrame(const QWidget &window) override;
    std::optional<QMargins> frameExtents(QWidget &window) override;
};

} // namespace kestrin
