#pragma once

#include <QFile>
#include <QSaveFile>
#include <QString>

#include <optional>

namespace kestrin {

// Where a command writes what it makes: a file named on its command line, or
// standard output ("" or "-"). A regular file is written under a temporary
// name and put in place only when whole, so a failed run leaves no half file
// and the old one stays; a device or a pipe is written directly (renaming
// over /dev/full would replace the device). Every failure, the last flush
// and the close included, comes back with the system's reason.
class OutputFile final
{
public:
    explicit OutputFile(const QString &path);

    // "PATH: reason" when it cannot be opened.
    std::optional<QString> open();
    QIODevice &device();
    // Writes out what is buffered and puts the file in place.
    std::optional<QString> commit();
    // After a failure: nothing of this run is left behind.
    void discard();
    // The path, or "standard output".
    QString name() const;

private:
    QString m_path;
    bool m_stdout = false;
    bool m_atomic = false;
    QSaveFile m_save;
    QFile m_plain;
};

} // namespace kestrin
