#include "logfollower.h"

#include <QFile>
#include <QFileInfo>
#include <QSemaphore>

namespace kestrin {

namespace {

constexpr qint64 HeadBytes = 256;

} // namespace

LogFollower::LogFollower(const QString &path, const QLocale &locale, QObject *parent)
    : QObject(parent)
    , m_path(path)
    , m_locale(locale)
    , m_reader(std::make_unique<LogReader>(locale))
    , m_credits(std::make_shared<QSemaphore>(BatchesInFlight))
{
    m_reader->setProblemLimit(ProblemsDescribed);
    qRegisterMetaType<kestrin::LogBatchPtr>();
}

LogFollower::~LogFollower() = default;

void LogFollower::requestStop()
{
    m_stopping = true;
}

void LogFollower::start()
{
    if (!m_timer) {
        m_timer = new QTimer(this);
        m_timer->setSingleShot(true);
        connect(m_timer, &QTimer::timeout, this, &LogFollower::poll);
    }
    if (!m_stopping)
        m_timer->start(0);
}

void LogFollower::stop()
{
    m_stopping = true;
    if (m_timer)
        m_timer->stop();
}

void LogFollower::restart()
{
    m_reader = std::make_unique<LogReader>(m_locale);
    m_reader->setProblemLimit(ProblemsDescribed);
    m_offset = 0;
    m_head.clear();
    m_caughtUp = false;
    m_failed = false;
    Q_EMIT restarted();
}

bool LogFollower::send(LogBatch &&batch)
{
    if (batch.size() == 0 && batch.problems.empty())
        return !m_stopping;
    while (!m_credits->tryAcquire(1, 50))
        if (m_stopping)
            return false;
    if (m_stopping) {
        m_credits->release();
        return false;
    }
    std::shared_ptr<QSemaphore> credits = m_credits;
    const LogBatchPtr out(new LogBatch(std::move(batch)), [credits](const LogBatch *b) {
        delete b;
        credits->release();
    });
    Q_EMIT batchRead(out);
    return true;
}

void LogFollower::noteSkipped(qint64 &undescribed)
{
    if (m_reader->problemsNotDescribed() != undescribed) {
        undescribed = m_reader->problemsNotDescribed();
        Q_EMIT moreSkipped(undescribed);
    }
}

void LogFollower::poll()
{
    if (m_stopping)
        return;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (!m_failed) {
            m_failed = true;
            Q_EMIT failed(QStringLiteral("%1: %2").arg(m_path, file.errorString()));
        }
        m_timer->start(PollMilliseconds);
        return;
    }
    const qint64 size = file.size();
    const QDateTime modified = QFileInfo(file).lastModified();
    if (size < m_offset) {
        restart();
    } else if (m_offset > 0 && (size != m_offset || modified != m_modified)) {
        // Same path, but is it the same file? Its first bytes tell.
        const QByteArray head = file.read(std::min(HeadBytes, m_offset));
        if (!m_head.startsWith(head) || head.size() < std::min<qint64>(m_head.size(), HeadBytes))
            restart();
    }
    m_modified = modified;
    if (size == m_offset) {
        reachedEnd();
        m_timer->start(PollMilliseconds);
        return;
    }
    if (m_head.size() < HeadBytes && m_offset < HeadBytes) {
        file.seek(0);
        m_head = file.read(HeadBytes);
    }
    qint64 undescribed = m_reader->problemsNotDescribed();
    if (size - m_offset > 2 * PieceBytes) {
        // A large stretch, such as the whole file at first: every core reads.
        m_offset = m_reader->feedFile(file, m_offset, size, [&](LogBatch &batch, qint64 done) {
            noteSkipped(undescribed);
            batch.fileOffset = done;
            batch.fileSize = size;
            if (!send(std::move(batch)))
                return false;
            if (!m_caughtUp)
                Q_EMIT progress(done, size);
            return true;
        });
        if (m_stopping)
            return;
    } else {
        file.seek(m_offset);
        const QByteArray piece = file.read(std::min(PieceBytes, size - m_offset));
        if (piece.isEmpty()) {
            m_timer->start(PollMilliseconds);
            return;
        }
        m_offset += piece.size();
        LogBatch batch;
        m_reader->feed(piece, batch);
        batch.fileOffset = m_offset;
        batch.fileSize = size;
        noteSkipped(undescribed);
        if (!send(std::move(batch)))
            return;
        if (!m_caughtUp)
            Q_EMIT progress(m_offset, size);
    }
    const bool atEnd = m_offset >= size;
    if (atEnd)
        reachedEnd();
    m_timer->start(atEnd ? PollMilliseconds : 0);
}

void LogFollower::reachedEnd()
{
    if (m_caughtUp)
        return;
    m_caughtUp = true;
    if (m_reader->recordsRead() == 0 && m_reader->linesRead() > 0 && !m_failed) {
        m_failed = true;
        Q_EMIT failed(LogReader::notALog(m_path, *m_reader));
    }
    Q_EMIT caughtUp(m_reader->recordsRead());
}

} // namespace kestrin
