#include "sitelocator.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace kestrin {

std::optional<QString> SiteLocator::find(const QString &explicitPath, const QProcessEnvironment &environment)
{
    if (!explicitPath.isEmpty())
        return explicitPath;

    QStringList folders;
    QString home = environment.value(QStringLiteral("XDG_CONFIG_HOME"));
    if (home.isEmpty() && !environment.value(QStringLiteral("HOME")).isEmpty())
        home = environment.value(QStringLiteral("HOME")) + QStringLiteral("/.config");
    folders << home;
    QString dirs = environment.value(QStringLiteral("XDG_CONFIG_DIRS"));
    if (dirs.isEmpty())
        dirs = QStringLiteral("/etc/xdg");
    folders << dirs.split(u':');

    for (const QString &folder : std::as_const(folders)) {
        if (!QDir::isAbsolutePath(folder))
            continue;
        const QString path = QDir(folder).filePath(QString::fromLatin1(RelativePath));
        if (QFileInfo(path).isFile())
            return path;
    }
    return std::nullopt;
}

} // namespace kestrin
