#pragma once

#include <QByteArray>
#include <QLocale>
#include <QPageSize>
#include <QString>

#include <optional>

namespace kestrin {

struct Report;

// A report as the bytes of a file, and those bytes written all or nothing.
class ReportFile final
{
public:
    static QByteArray pdf(const Report &report, const QLocale &locale, const QPageSize &paper);

    // As OutputFile writes: a regular file under a temporary name put in
    // place when whole, a device or a pipe directly, standard output for "-"
    // or no path. The error carries the system's reason.
    static std::optional<QString> save(const QString &path, const QByteArray &bytes);

    struct Digest
    {
        QByteArray sha256; // hex; empty when the file cannot be read
        qint64 bytes = 0;
    };
    // The SHA-256 of the file as it is now; a logger may append while the
    // report is made, so the size it covers goes with it.
    static Digest digest(const QString &path);
};

} // namespace kestrin
