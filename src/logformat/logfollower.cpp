#include "logfollower.h"

#include <QFile>
#include <QFileInfo>

namespace kestrin {

namespace {

constexpr qint64 HeadBytes = 256;

} // namespace

LogFollower::LogFollower(const QString &path, const QLocale &locale, QObject *parent)
    : QObject(parent)
    , m_path(path)
    , m_locale(locale)
    , m_reader(std::make_unique<LogReader>(locale))
{
    m_reader->setProblemLimit(ProblemsDescribed);
    qRegisterMetaType<kestrin::LogBatchPtr>();
}

LogFollower::~LogFollower() = default;

void LogFollower::start()
{
    if (!m_timer) {
        m_timer = new QTimer(this);
        m_timer->setSingleShot(true);
        connect(m_timer, &QTimer::timeout, this, &LogFollower::poll);
    }
    m_timer->start(0);
}

void LogFollower::stop()
{
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

void LogFollower::poll()
{
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
        if (!m_caughtUp) {
            m_caughtUp = true;
            Q_EMIT caughtUp(m_reader->recordsRead());
        }
        m_timer->start(PollMilliseconds);
        return;
    }
    file.seek(m_offset);
    const QByteArray piece = file.read(std::min(PieceBytes, size - m_offset));
    if (piece.isEmpty()) {
        m_timer->start(PollMilliseconds);
        return;
    }
    if (m_head.size() < HeadBytes && m_offset < HeadBytes)
        m_head = QByteArray(m_head + piece).left(HeadBytes);
    m_offset += piece.size();
    auto batch = std::make_shared<LogBatch>();
    const qint64 undescribed = m_reader->problemsNotDescribed();
    m_reader->feed(piece, *batch);
    if (m_reader->problemsNotDescribed() != undescribed)
        Q_EMIT moreSkipped(m_reader->problemsNotDescribed());
    if (batch->size() > 0 || !batch->problems.empty())
        Q_EMIT batchRead(batch);
    if (!m_caughtUp)
        Q_EMIT progress(m_offset, size);
    const bool atEnd = m_offset >= size;
    if (atEnd && !m_caughtUp) {
        m_caughtUp = true;
        if (m_reader->recordsRead() == 0 && m_reader->linesRead() > 0 && !m_failed) {
            m_failed = true;
            Q_EMIT failed(LogReader::notALog(m_path, *m_reader));
        }
        Q_EMIT caughtUp(m_reader->recordsRead());
    }
    m_timer->start(atEnd ? PollMilliseconds : 0);
}

} // namespace kestrin
