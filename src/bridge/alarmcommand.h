#pragma once

#include "bridgeservices.h"

#include <QObject>

namespace kestrin {

class MessageLog;

// Runs the on_alarm program: started without a shell and without
// arguments, with the facts added to its environment and its output going
// where the bridge's goes. It is not waited for: one that
// fails says so on stderr, one that runs longer than `timeoutMs` is killed,
// and beyond `maxRunning` at once a new one is not started.
class AlarmCommand final : public QObject, public CommandLauncher
{
    Q_OBJECT

public:
    explicit AlarmCommand(MessageLog &log, int timeoutMs = 60000, int maxRunning = 8, QObject *parent = nullptr);
    ~AlarmCommand() override;

    void launch(const QString &command, const QMap<QString, QString> &environment) override;

    int running() const { return m_running; }

private:
    MessageLog &m_log;
    int m_timeoutMs;
    int m_maxRunning;
    int m_running = 0;
};

} // namespace kestrin
