#pragma once

#include <QMap>
#include <QString>
#include <QtGlobal>

namespace kestrin {

// The clocks alarms are timed by.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual qint64 utcSeconds() const = 0;
    // Seconds on a clock that never jumps.
    virtual double monotonicSeconds() const = 0;
};

// Lines for the operator: stderr, which the journal keeps under systemd.
// May be called from any thread.
class MessageLog
{
public:
    virtual ~MessageLog() = default;
    virtual void write(const QString &line) = 0;
};

// Desktop notifications, where there is a desktop.
class DesktopNotifier
{
public:
    virtual ~DesktopNotifier() = default;
    virtual void notify(const QString &summary, const QString &body, bool urgent) = 0;
};

// Starts a command without a shell and without waiting for it; the facts go
// in its environment only.
class CommandLauncher
{
public:
    virtual ~CommandLauncher() = default;
    virtual void launch(const QString &command, const QMap<QString, QString> &environment) = 0;
};

} // namespace kestrin
