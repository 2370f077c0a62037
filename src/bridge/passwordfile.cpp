#include "passwordfile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace kestrin {

PasswordFile PasswordFile::read(const QString &path)
{
    PasswordFile result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return result;
    }
    // Asked of the open file, so it is the one that is read.
    struct stat info = {};
    if (::fstat(file.handle(), &info) != 0) {
        result.error = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return result;
    }
    if (!S_ISREG(info.st_mode)) {
        result.error = QStringLiteral("%1: not a regular file").arg(path);
        return result;
    }
    if ((info.st_mode & 077) != 0) {
        result.error = QStringLiteral("%1: permissions %2 are too open: a password file must not be accessible by "
                                      "group or others (chmod 600 %1)")
                           .arg(path)
                           .arg(uint(info.st_mode & 07777), 4, 8, QLatin1Char('0'));
        return result;
    }
    QByteArray line = file.readLine(4096);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    if (line.isEmpty()) {
        result.error = QStringLiteral("%1: the password is empty").arg(path);
        return result;
    }
    result.password = line;
    return result;
}

} // namespace kestrin
