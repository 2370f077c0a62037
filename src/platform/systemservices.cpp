// Files and processes on platforms other than Windows.
#include "systemservices.h"

#include <QFileInfo>
#include <QProcess>

namespace kestrin {

bool PlatformSystemServices::fileExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.isFile() && !info.isHidden();
}

bool PlatformSystemServices::startProgram(const QString &commandLine, int windowStyle)
{
    // The window manager places and focuses a new program's window itself.
    Q_UNUSED(windowStyle)
    if (commandLine.trimmed().isEmpty())
        return false;
    // The command line is a program path alone; it is not split at spaces.
    QProcess process;
    process.setProgram(commandLine);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
}

} // namespace kestrin
