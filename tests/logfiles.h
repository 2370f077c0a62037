#pragma once

// Reading back what a test's log file holds.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QString>

namespace kestrin::testing {

inline QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The file's lines, split at LF (each record keeps its CR).
inline QList<QByteArray> records(const QString &path)
{
    QList<QByteArray> lines = contents(path).split('\n');
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

// A record as the record step writes it: the stamp, 11 readings, CR LF.
inline bool wholeRecord(const QByteArray &line, const QByteArray &stamp = "12/7/2026 10:45:41 AM")
{
    return line.startsWith(QByteArray(stamp + ", ")) && line.endsWith('\r') && line.count(" , ") == 10;
}

// Whether this process holds `path` open, from the kernel's own list.
inline bool heldOpen(const QString &path)
{
    const QString wanted = QFileInfo(path).canonicalFilePath();
    const QFileInfoList fds = QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::Files | QDir::System);
    for (const QFileInfo &fd : fds)
        if (fd.symLinkTarget() == wanted)
            return true;
    return false;
}

} // namespace kestrin::testing
