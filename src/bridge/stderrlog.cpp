#include "stderrlog.h"

#include <cstdio>

namespace kestrin {

void StderrLog::write(const QString &line)
{
    // One call, so lines from different threads do not interleave.
    const QByteArray text = (QStringLiteral("kestrin-bridge: ") + line + u'\n').toLocal8Bit();
    std::fwrite(text.constData(), 1, std::size_t(text.size()), stderr);
    std::fflush(stderr);
}

} // namespace kestrin
