#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <optional>

namespace kestrin {

// The one log file: opened for appending (created when missing), written a
// whole record at a time. A record that cannot be written whole is taken
// back out, so the file only ever holds complete lines.
class LogWriter final
{
    Q_DISABLE_COPY_MOVE(LogWriter)

public:
    LogWriter() = default;
    ~LogWriter();

    // nullopt on success, else a message naming the file and the reason.
    std::optional<QString> open(const QString &path);
    void close();
    bool isOpen() const { return m_file.isOpen(); }
    QString path() const { return m_path; }

    // Writes the record in one call and hands it to the operating system at
    // once (and to the disk, where the platform can tell it to). nullopt when
    // the whole record is in the file; otherwise the file is cut back to its
    // length before the record and the reason comes back.
    std::optional<QString> append(const QByteArray &record);

private:
    bool stillOurFile() const;
    std::optional<QString> reopen();

    QFile m_file;
    QString m_path;
    quint64 m_device = 0;
    quint64 m_inode = 0;
};

} // namespace kestrin
