#pragma once

#include "alarmengine.h"
#include "bridgesnapshot.h"
#include "logbatch.h"

#include <QObject>
#include <QTimer>

namespace kestrin {

class AlarmAnnouncer;
class BridgeStatus;
class Clock;
class MessageLog;

// The log side of the bridge, on the main thread: takes what the log
// follower reads, keeps the state (the last values and when each last
// changed, never the history), runs the alarms and hands a snapshot to
// /metrics after every batch and to the broker after every live record.
//
// Records read before the follower first catches up with the file are
// history; so are those of a log that was replaced. Only at the end of it
// are alarms announced, those that hold then.
class Bridge final : public QObject
{
    Q_OBJECT

public:
    Bridge(const BridgeSettings &settings, const QString &logPath, BridgeStatus &status, Clock &clock,
           MessageLog &log, AlarmAnnouncer &announcer, QObject *parent = nullptr);

    const AlarmEngine &engine() const { return m_engine; }

public Q_SLOTS:
    void take(kestrin::LogBatchPtr batch);
    void caughtUp(qint64 records);
    void restarted();
    void moreSkipped(qint64 count);
    void failed(const QString &reason);
    // Checks for staleness; a timer calls it every second.
    void tick();

Q_SIGNALS:
    // A new record, or an alarm that changed without one.
    void changed(kestrin::BridgeSnapshotPtr snapshot);

private:
    AlarmEngine::Moment now() const;
    void announce();
    BridgeSnapshotPtr snapshot() const;
    void publish(bool toBroker);

    BridgeSettings m_settings;
    QString m_logPath;
    BridgeStatus &m_status;
    Clock &m_clock;
    MessageLog &m_log;
    AlarmAnnouncer &m_announcer;
    AlarmEngine m_engine;
    QTimer m_ticker;
    std::vector<AlarmEvent> m_events;
    bool m_followerCaughtUp = false;
    std::optional<qint64> m_lastRecordUtc;
    qint64 m_records = 0;
    qint64 m_described = 0;      // skipped lines the follower described
    qint64 m_undescribedBase = 0; // undescribed ones of logs read before a restart
    qint64 m_undescribed = 0;
};

} // namespace kestrin
