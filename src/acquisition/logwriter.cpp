#include "logwriter.h"

#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kestrin {

namespace {
QString describe(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot write file %1:\n%2.").arg(QDir::toNativeSeparators(path), reason);
}
} // namespace

LogWriter::~LogWriter()
{
    close();
}

std::optional<QString> LogWriter::open(const QString &path)
{
    close();
    m_path = path;
    if (QFileInfo(path).isDir())
        return QStringLiteral("Cannot open file %1:\nit is a folder.").arg(QDir::toNativeSeparators(path));
    m_file.setFileName(path);
    // Unbuffered: every record goes to the operating system in one write.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        const QString reason = m_file.errorString();
        return QStringLiteral("Cannot open file %1:\n%2.").arg(QDir::toNativeSeparators(path), reason);
    }
#ifdef Q_OS_UNIX
    struct stat st = {};
    if (::fstat(m_file.handle(), &st) == 0) {
        m_device = st.st_dev;
        m_inode = st.st_ino;
    }
#endif
    return std::nullopt;
}

void LogWriter::close()
{
    if (m_file.isOpen())
        m_file.close();
}

bool LogWriter::stillOurFile() const
{
#ifdef Q_OS_UNIX
    struct stat st = {};
    const QByteArray native = QFile::encodeName(m_path);
    return ::stat(native.constData(), &st) == 0 && st.st_dev == m_device && st.st_ino == m_inode;
#else
    return QFileInfo::exists(m_path);
#endif
}

std::optional<QString> LogWriter::reopen()
{
    const QString path = m_path;
    return open(path);
}

std::optional<QString> LogWriter::append(const QByteArray &record)
{
    // A file deleted or replaced under us would swallow every record unseen;
    // carry on in a file at the chosen path instead.
    if (!m_file.isOpen() || !stillOurFile()) {
        if (auto error = reopen())
            return error;
    }

    const qint64 before = m_file.size();
#ifdef Q_OS_UNIX
    // Written by hand so that the reason is the system's own in every case:
    // after a short write (a disk filling up mid-record) the write of the
    // rest is the one that says why.
    int error = 0;
    const char *data = record.constData();
    qint64 left = record.size();
    while (left > 0) {
        const ssize_t n = ::write(m_file.handle(), data, std::size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : ENOSPC;
            break;
        }
        data += n;
        left -= n;
    }
    // Devices and pipes cannot be synced; that is no failure of the record.
    if (error == 0 && ::fdatasync(m_file.handle()) != 0 && errno != EINVAL && errno != ENOTSUP)
        error = errno;
    if (error == 0)
        return std::nullopt;
    const QString reason = QString::fromLocal8Bit(std::strerror(error));
#else
    if (m_file.write(record) == record.size())
        return std::nullopt;
    const QString reason = m_file.errorString();
#endif
    // Take the partial record back out so no half line joins two records.
    if (m_file.size() != before)
        m_file.resize(before);
    m_file.unsetError();
    return describe(m_path, reason.isEmpty() ? QStringLiteral("the record could not be written whole") : reason);
}

} // namespace kestrin
