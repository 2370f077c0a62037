#pragma once

#include "alarmevent.h"
#include "bridgesettings.h"

#include <span>
#include <vector>

namespace kestrin {

// Decides when alarms are raised and cleared, from the records and the time
// alone, so that every rule can be checked against a table of values.
//
// - low/high: the value is beyond the limit for `delay` records in a row;
//   cleared at the first record back inside by `hysteresis` or more. A
//   reading outside the DS18B20's range counts for neither.
// - silent: the value has not changed for `silent_after`, measured between
//   the records' own times (a failing sensor repeats its last good reading).
// - stale: no new record for `stale_after`, on the bridge's monotonic clock
//   from when the newest record arrived. A record that was already in the
//   log when the bridge started is taken to have arrived when its stamp
//   says, so a start on a log that stopped yesterday is stale at once.
//
// Records read as history (at start, or after the log was replaced) only
// set the state; goLive() then announces the alarms that hold at that
// moment and clears those announced before that no longer hold, so no storm
// of old alarms is replayed.
class AlarmEngine final
{
public:
    struct Moment
    {
        qint64 utc = 0;         // wall clock, seconds since 1970
        double monotonic = 0;   // seconds, never jumps
    };

    struct SensorState
    {
        bool hasValue = false;
        float value = 0;
        bool valid = false;
        qint64 changedUtc = 0; // stamp of the record where the value last changed
        qint64 lastUtc = 0;    // stamp of the newest record
        bool low = false;
        bool high = false;
        bool silent = false;
        int lowCount = 0;
        int highCount = 0;
    };

    // What has been told to the world, per sensor and for stale.
    struct Announced
    {
        bool low = false;
        bool high = false;
        bool silent = false;
    };

    static constexpr float MinCelsius = -55.0f;
    static constexpr float MaxCelsius = 125.0f;
    static bool inRange(float value) { return value >= MinCelsius && value <= MaxCelsius; }

    AlarmEngine(const BridgeSettings &settings, Moment start);

    bool live() const { return m_live; }
    // Records from here on are history: they set the state and announce
    // nothing until goLive(). What they describe starts afresh.
    void beginHistory();
    void goLive(Moment now, std::vector<AlarmEvent> &events);

    void record(qint64 stampUtc, std::span<const float> values, Moment now, std::vector<AlarmEvent> &events);
    // Checks for staleness; call it now and then.
    void tick(Moment now, std::vector<AlarmEvent> &events);

    int sensorCount() const { return int(m_rules.size()); }
    const SensorState &state(int index) const { return m_states[std::size_t(index)]; }
    const Announced &announced(int index) const { return m_announced[std::size_t(index)]; }
    bool staleAnnounced() const { return m_staleAnnounced; }
    bool staleConfigured() const { return m_staleSeconds.has_value(); }

private:
    struct Rules
    {
        int number = 0;
        std::optional<float> low;
        std::optional<float> lowClear;
        std::optional<float> high;
        std::optional<float> highClear;
        int delay = 1;
        std::optional<double> silentSeconds;
    };

    void announce(Moment now, std::vector<AlarmEvent> &events, std::optional<qint64> recordUtc);
    bool staleHolds(Moment now) const;

    std::vector<Rules> m_rules;
    std::vector<SensorState> m_states;
    std::vector<Announced> m_announced;
    std::optional<double> m_staleSeconds;
    double m_lastArrival = 0;
    bool m_live = false;
    bool m_staleAnnounced = false;
};

} // namespace kestrin
