#include "alarmevent.h"

namespace kestrin {

QString alarmKindName(AlarmKind kind)
{
    switch (kind) {
    case AlarmKind::Low:
        return QStringLiteral("low");
    case AlarmKind::High:
        return QStringLiteral("high");
    case AlarmKind::Silent:
        return QStringLiteral("silent");
    case AlarmKind::Stale:
        return QStringLiteral("stale");
    }
    return {};
}

} // namespace kestrin
