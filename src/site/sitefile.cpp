#include "sitefile.h"

#include <QFileInfo>

namespace kestrin {

QString SiteFile::Endpoint::authority() const
{
    const QString shown = host.contains(u':') ? u'[' + host + u']' : host;
    return port == 0 ? shown : shown + u':' + QString::number(port);
}

const SiteFile::Sensor *SiteFile::sensor(int number) const
{
    if (number < 1 || number > sensorCount())
        return nullptr;
    return &sensors[static_cast<std::size_t>(number - 1)];
}

QString SiteFile::label(int number) const
{
    const Sensor *known = sensor(number);
    return label(number, known ? known->name : QString());
}

QString SiteFile::label(int number, const QString &name)
{
    if (name.isEmpty())
        return QStringLiteral("Sensor %1").arg(number);
    return QString::number(number) + u' ' + name;
}

QString SiteFile::siteId() const
{
    if (!bridge.site.isEmpty())
        return bridge.site;
    QString id = QFileInfo(fileName).completeBaseName();
    for (QChar &c : id) {
        const bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')
            || c == u'-' || c == u'_';
        if (!plain)
            c = u'-';
    }
    return id.isEmpty() ? QStringLiteral("site") : id;
}

} // namespace kestrin
