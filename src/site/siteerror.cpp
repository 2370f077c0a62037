#include "siteerror.h"

namespace kestrin {

QString SiteError::text() const
{
    if (line <= 0)
        return file + QStringLiteral(": ") + message;
    return file + u':' + QString::number(line) + QStringLiteral(": ") + message;
}

} // namespace kestrin
