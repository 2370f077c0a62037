#include "alarmengine.h"

#include <algorithm>

namespace kestrin {

AlarmEngine::AlarmEngine(const BridgeSettings &settings, Moment start)
    : m_lastArrival(start.monotonic)
{
    if (settings.staleAfterMinutes)
        m_staleSeconds = *settings.staleAfterMinutes * 60.0;
    for (const SensorSettings &sensor : settings.sensors) {
        Rules rules;
        rules.number = sensor.number;
        // Compared as the log's own floats: "21.1" in the log equals a limit
        // of 21.1, which is not beyond it.
        if (sensor.low) {
            rules.low = float(*sensor.low);
            rules.lowClear = float(*sensor.low + sensor.hysteresis);
        }
        if (sensor.high) {
            rules.high = float(*sensor.high);
            rules.highClear = float(*sensor.high - sensor.hysteresis);
        }
        rules.delay = std::max(1, sensor.delay);
        if (sensor.silentAfterMinutes)
            rules.silentSeconds = *sensor.silentAfterMinutes * 60.0;
        m_rules.push_back(rules);
    }
    m_states.resize(m_rules.size());
    m_announced.resize(m_rules.size());
}

void AlarmEngine::beginHistory()
{
    m_live = false;
    std::fill(m_states.begin(), m_states.end(), SensorState{});
}

void AlarmEngine::goLive(Moment now, std::vector<AlarmEvent> &events)
{
    m_live = true;
    announce(now, events, std::nullopt);
}

void AlarmEngine::record(qint64 stampUtc, std::span<const float> values, Moment now, std::vector<AlarmEvent> &events)
{
    m_lastArrival = m_live ? now.monotonic : now.monotonic - std::max(0.0, double(now.utc - stampUtc));
    for (std::size_t i = 0; i < m_rules.size(); ++i) {
        const Rules &rules = m_rules[i];
        const std::size_t column = std::size_t(rules.number - 1);
        if (column >= values.size())
            continue;
        const float value = values[column];
        SensorState &s = m_states[i];
        if (!s.hasValue || value != s.value)
            s.changedUtc = stampUtc;
        s.hasValue = true;
        s.value = value;
        s.lastUtc = stampUtc;
        s.valid = inRange(value);
        if (s.valid) {
            if (rules.low) {
                if (!s.low) {
                    s.lowCount = value < *rules.low ? s.lowCount + 1 : 0;
                    s.low = s.lowCount >= rules.delay;
                } else if (value >= *rules.lowClear) {
                    s.low = false;
                    s.lowCount = 0;
                }
            }
            if (rules.high) {
                if (!s.high) {
                    s.highCount = value > *rules.high ? s.highCount + 1 : 0;
                    s.high = s.highCount >= rules.delay;
                } else if (value <= *rules.highClear) {
                    s.high = false;
                    s.highCount = 0;
                }
            }
        }
        s.silent = rules.silentSeconds && double(stampUtc - s.changedUtc) >= *rules.silentSeconds;
    }
    if (m_live)
        announce(now, events, stampUtc);
}

void AlarmEngine::tick(Moment now, std::vector<AlarmEvent> &events)
{
    if (m_live)
        announce(now, events, std::nullopt);
}

bool AlarmEngine::staleHolds(Moment now) const
{
    return m_staleSeconds && now.monotonic - m_lastArrival >= *m_staleSeconds;
}

void AlarmEngine::announce(Moment now, std::vector<AlarmEvent> &events, std::optional<qint64> recordUtc)
{
    const qint64 when = recordUtc.value_or(now.utc);
    for (std::size_t i = 0; i < m_rules.size(); ++i) {
        const SensorState &s = m_states[i];
        Announced &a = m_announced[i];
        const std::optional<float> value = s.hasValue ? std::optional<float>(s.value) : std::nullopt;
        const auto check = [&](AlarmKind kind, bool holds, bool &told) {
            if (holds == told)
                return;
            told = holds;
            events.push_back({kind, holds, m_rules[i].number, value, when});
        };
        check(AlarmKind::Low, s.low, a.low);
        check(AlarmKind::High, s.high, a.high);
        check(AlarmKind::Silent, s.silent, a.silent);
    }
    const bool stale = staleHolds(now);
    if (stale != m_staleAnnounced) {
        m_staleAnnounced = stale;
        events.push_back({AlarmKind::Stale, stale, 0, std::nullopt, now.utc});
    }
}

} // namespace kestrin
