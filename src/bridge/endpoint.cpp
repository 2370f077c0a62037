#include "endpoint.h"

namespace kestrin {

QString Endpoint::text() const
{
    return (host.contains(u':') ? u'[' + host + u']' : host) + u':' + QString::number(port);
}

} // namespace kestrin
