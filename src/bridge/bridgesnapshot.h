#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>
#include <optional>
#include <vector>

namespace kestrin {

// An alarm as the outside sees it: whether it is set up, and whether it is
// raised.
struct AlarmFlag
{
    bool configured = false;
    bool active = false;
};

struct SensorSnapshot
{
    int number = 0;
    QString rom;
    QString name;
    bool hasValue = false;
    float value = 0;
    bool valid = false;
    qint64 unchangedSeconds = 0; // between the records' own times
    AlarmFlag low;
    AlarmFlag high;
    AlarmFlag silent;

    bool alarm() const { return low.active || high.active || silent.active; }
};

// Everything /metrics and the broker are told, as of one moment. Made on the
// thread that reads the log and handed, never changed, to the others.
struct BridgeSnapshot
{
    QString site;
    std::vector<SensorSnapshot> sensors;
    std::optional<qint64> lastRecordUtc;
    qint64 records = 0;      // every record read, also across a replaced log
    qint64 linesSkipped = 0; // lines that are no record
    bool caughtUp = false;   // the history is read
    AlarmFlag stale;
};

using BridgeSnapshotPtr = std::shared_ptr<const BridgeSnapshot>;

// The broker connection as /metrics reports it.
struct MqttStatus
{
    bool enabled = false;
    bool connected = false;
    qint64 refused = 0;     // the broker turned the login down
    qint64 unreachable = 0; // no connection, TLS failures included
};

} // namespace kestrin
