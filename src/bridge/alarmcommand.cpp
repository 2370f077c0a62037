#include "alarmcommand.h"

#include <QProcess>
#include <QTimer>

namespace kestrin {

AlarmCommand::AlarmCommand(MessageLog &log, int timeoutMs, int maxRunning, QObject *parent)
    : QObject(parent)
    , m_log(log)
    , m_timeoutMs(timeoutMs)
    , m_maxRunning(maxRunning)
{
}

AlarmCommand::~AlarmCommand()
{
    // The bridge is ending; a command still running goes with it.
    for (QProcess *process : findChildren<QProcess *>()) {
        process->disconnect(this);
        process->kill();
        process->waitForFinished(1000);
    }
}

void AlarmCommand::launch(const QString &command, const QMap<QString, QString> &environment)
{
    if (m_running >= m_maxRunning) {
        m_log.write(QStringLiteral("on_alarm: %1 commands still running, %2 not started for %3 %4")
                        .arg(m_running)
                        .arg(command, environment.value(QStringLiteral("KESTRIN_KIND")),
                             environment.value(QStringLiteral("KESTRIN_STATE"))));
        return;
    }
    auto *process = new QProcess(this);
    process->setProgram(command);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (auto it = environment.cbegin(); it != environment.cend(); ++it)
        env.insert(it.key(), it.value());
    process->setProcessEnvironment(env);
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    const QString &name = command;

    auto *timeout = new QTimer(process);
    timeout->setSingleShot(true);
    connect(timeout, &QTimer::timeout, process, [this, process, name] {
        m_log.write(QStringLiteral("on_alarm: %1 still runs after %2 s, killed").arg(name).arg(m_timeoutMs / 1000.0));
        process->kill();
    });
    connect(process, &QProcess::errorOccurred, this, [this, process, name](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        m_log.write(QStringLiteral("on_alarm: cannot start %1: %2").arg(name, process->errorString()));
        --m_running;
        process->deleteLater();
    });
    connect(process, &QProcess::finished, this, [this, process, name, timeout](int code, QProcess::ExitStatus status) {
        if (status == QProcess::CrashExit && timeout->isActive())
            m_log.write(QStringLiteral("on_alarm: %1 ended by a signal").arg(name));
        else if (status == QProcess::NormalExit && code != 0)
            m_log.write(QStringLiteral("on_alarm: %1 exited with status %2").arg(name).arg(code));
        --m_running;
        process->deleteLater();
    });
    ++m_running;
    timeout->start(m_timeoutMs);
    process->start();
}

} // namespace kestrin
