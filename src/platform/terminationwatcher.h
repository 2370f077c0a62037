#pragma once

#include <QObject>

class QSocketNotifier;

namespace kestrin {

// Turns SIGTERM, SIGINT and SIGHUP into a queued Qt signal. The handler only
// writes a byte to a pipe; the close itself runs later on the GUI thread
// through the event loop, so a record being written is finished first.
class TerminationWatcher final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TerminationWatcher)

public:
    explicit TerminationWatcher(QObject *parent = nullptr);
    ~TerminationWatcher() override;

    bool isActive() const { return m_notifier != nullptr; }

Q_SIGNALS:
    void terminationRequested(int signalNumber);

private:
    void onReadable();

    QSocketNotifier *m_notifier = nullptr;
};

} // namespace kestrin
