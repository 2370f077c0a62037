#pragma once

#include "logbatch.h"
#include "logreader.h"

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <memory>

class QSemaphore;

namespace kestrin {

// Follows a log while the logger appends to it: reads what is there (a large
// file on every core), then every quarter second only the bytes that were
// added. A file that became shorter or whose first bytes changed was
// truncated or replaced, and is read again from its start. Meant to live on
// a thread of its own so a large file never holds up the window.
//
// At most BatchesInFlight batches are out at a time: a receiver that is
// busy holds the reading back instead of letting batches pile up. A batch
// counts until the last copy of its pointer is gone.
class LogFollower final : public QObject
{
    Q_OBJECT

public:
    static constexpr int PollMilliseconds = 250;
    static constexpr qint64 PieceBytes = 4 * 1024 * 1024;
    static constexpr int BatchesInFlight = 6;
    // Lines that are no record, described each; more are only counted.
    static constexpr qint64 ProblemsDescribed = 1000;

    LogFollower(const QString &path, const QLocale &locale, QObject *parent = nullptr);
    ~LogFollower() override;

    QString path() const { return m_path; }

    // From any thread: ends a reading under way at the next piece, and any
    // wait for the receiver. The follower reads nothing more afterwards.
    void requestStop();

public Q_SLOTS:
    void start();
    void stop();

Q_SIGNALS:
    void batchRead(kestrin::LogBatchPtr batch);
    void progress(qint64 done, qint64 total);
    // The first time everything in the file has been read.
    void caughtUp(qint64 records);
    // The file was truncated or replaced; what was read before is void.
    void restarted();
    // Lines that are no record beyond the ones described, so far.
    void moreSkipped(qint64 count);
    // Unreadable, or whole lines but no record in them.
    void failed(const QString &reason);

private:
    void poll();
    void restart();
    // Hands a batch out, once the receiver has room for it; false when
    // stopped meanwhile.
    bool send(LogBatch &&batch);
    void noteSkipped(qint64 &undescribed);
    // The first time everything there is has been read.
    void reachedEnd();

    QString m_path;
    QLocale m_locale;
    QTimer *m_timer = nullptr;
    std::unique_ptr<LogReader> m_reader;
    qint64 m_offset = 0;
    QByteArray m_head;
    QDateTime m_modified;
    bool m_caughtUp = false;
    bool m_failed = false;
    std::atomic<bool> m_stopping{false};
    std::shared_ptr<QSemaphore> m_credits;
};

} // namespace kestrin
