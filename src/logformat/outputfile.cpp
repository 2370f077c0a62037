#include "outputfile.h"

#include <QFileInfo>

#include <cstdio>

namespace kestrin {

OutputFile::OutputFile(const QString &path)
    : m_path(path)
    , m_stdout(path.isEmpty() || path == QLatin1String("-"))
{
    const QFileInfo info(path);
    m_atomic = !m_stdout && (!info.exists() || info.isFile());
}

QString OutputFile::name() const
{
    return m_stdout ? QStringLiteral("standard output") : m_path;
}

std::optional<QString> OutputFile::open()
{
    bool opened = false;
    if (m_stdout) {
        opened = m_plain.open(fileno(stdout), QIODevice::WriteOnly, QFileDevice::DontCloseHandle);
    } else if (m_atomic) {
        m_save.setFileName(m_path);
        // Where no temporary file can be made beside it, the file itself.
        m_save.setDirectWriteFallback(true);
        opened = m_save.open(QIODevice::WriteOnly);
    } else {
        m_plain.setFileName(m_path);
        opened = m_plain.open(QIODevice::WriteOnly);
    }
    if (!opened)
        return QStringLiteral("%1: %2").arg(name(), m_atomic ? m_save.errorString() : m_plain.errorString());
    return std::nullopt;
}

QIODevice &OutputFile::device()
{
    return m_atomic ? static_cast<QIODevice &>(m_save) : static_cast<QIODevice &>(m_plain);
}

std::optional<QString> OutputFile::commit()
{
    if (m_atomic) {
        if (!m_save.commit())
            return QStringLiteral("%1: %2").arg(name(), m_save.errorString());
        return std::nullopt;
    }
    // A small output reaches the device only with the last flush: that is
    // where a full disk shows.
    const bool flushed = m_plain.flush();
    const QString reason = m_plain.errorString();
    m_plain.close();
    if (!flushed || m_plain.error() != QFileDevice::NoError)
        return QStringLiteral("%1: %2").arg(name(), flushed ? m_plain.errorString() : reason);
    return std::nullopt;
}

void OutputFile::discard()
{
    if (m_atomic)
        m_save.cancelWriting();
    else
        m_plain.close();
}

} // namespace kestrin
