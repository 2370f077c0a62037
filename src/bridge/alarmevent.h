#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

namespace kestrin {

enum class AlarmKind { Low, High, Silent, Stale };

// An alarm that was raised or cleared. `sensor` is 0 for the bridge-wide
// stale alarm, which has no value either.
struct AlarmEvent
{
    AlarmKind kind = AlarmKind::Low;
    bool raised = true;
    int sensor = 0;
    std::optional<float> value;
    qint64 utc = 0; // the record's time, or the bridge's for stale and start-up

    friend bool operator==(const AlarmEvent &, const AlarmEvent &) = default;
};

// "low", "high", "silent", "stale": the names users and their commands see.
QString alarmKindName(AlarmKind kind);

} // namespace kestrin
