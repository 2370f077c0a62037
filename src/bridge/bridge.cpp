#include "bridge.h"

#include "alarmannouncer.h"
#include "bridgeservices.h"
#include "bridgestatus.h"

#include <QFileInfo>

namespace kestrin {

Bridge::Bridge(const BridgeSettings &settings, const QString &logPath, BridgeStatus &status, Clock &clock,
               MessageLog &log, AlarmAnnouncer &announcer, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_logPath(logPath)
    , m_status(status)
    , m_clock(clock)
    , m_log(log)
    , m_announcer(announcer)
    , m_engine(settings, {clock.utcSeconds(), clock.monotonicSeconds()})
    , m_ticker(this)
{
    qRegisterMetaType<kestrin::BridgeSnapshotPtr>();
    m_ticker.setInterval(1000);
    connect(&m_ticker, &QTimer::timeout, this, &Bridge::tick);
    m_ticker.start();
    m_status.setSnapshot(snapshot());
}

AlarmEngine::Moment Bridge::now() const
{
    return {m_clock.utcSeconds(), m_clock.monotonicSeconds()};
}

void Bridge::announce()
{
    for (const AlarmEvent &event : m_events)
        m_announcer.announce(event);
    m_events.clear();
}

void Bridge::take(kestrin::LogBatchPtr batch)
{
    if (!m_followerCaughtUp && m_engine.live())
        m_engine.beginHistory(); // the log appeared after all: what it holds is history
    for (const LogProblem &problem : batch->problems)
        m_log.write(QStringLiteral("%1: line %2 skipped: %3").arg(m_logPath).arg(problem.line).arg(problem.reason));
    m_described += qint64(batch->problems.size());
    const std::size_t width = std::size_t(batch->readingsPerRecord);
    const AlarmEngine::Moment moment = now();
    const bool live = m_engine.live();
    for (qsizetype i = 0; i < batch->size(); ++i) {
        const std::span<const float> values(batch->values.data() + std::size_t(i) * width, width);
        m_engine.record(batch->times[std::size_t(i)], values, moment, m_events);
        m_lastRecordUtc = batch->times[std::size_t(i)];
        ++m_records;
        if (live) {
            announce();
            publish(true);
        }
    }
    if (!live || batch->size() == 0)
        publish(false);
}

void Bridge::caughtUp(qint64 records)
{
    m_followerCaughtUp = true;
    m_log.write(QStringLiteral("following %1: %2 records read").arg(m_logPath).arg(records));
    m_engine.goLive(now(), m_events);
    announce();
    publish(true);
}

void Bridge::restarted()
{
    m_log.write(QStringLiteral("%1 was replaced or truncated: reading it from its start").arg(m_logPath));
    m_followerCaughtUp = false;
    m_undescribedBase += m_undescribed;
    m_undescribed = 0;
    m_engine.beginHistory();
}

void Bridge::moreSkipped(qint64 count)
{
    m_undescribed = count;
    publish(false);
}

void Bridge::failed(const QString &reason)
{
    if (!QFileInfo::exists(m_logPath))
        m_log.write(QStringLiteral("waiting for %1 to appear").arg(m_logPath));
    else
        m_log.write(reason);
    // Nothing to read for now; staleness counts from here.
    if (!m_followerCaughtUp && !m_engine.live()) {
        m_engine.goLive(now(), m_events);
        announce();
        publish(true);
    }
}

void Bridge::tick()
{
    m_engine.tick(now(), m_events);
    if (!m_events.empty()) {
        announce();
        publish(true);
    }
}

BridgeSnapshotPtr Bridge::snapshot() const
{
    auto s = std::make_shared<BridgeSnapshot>();
    s->site = m_settings.site;
    s->lastRecordUtc = m_lastRecordUtc;
    s->records = m_records;
    s->linesSkipped = m_described + m_undescribedBase + m_undescribed;
    s->caughtUp = m_followerCaughtUp;
    s->stale = {m_engine.staleConfigured(), m_engine.staleAnnounced()};
    for (int i = 0; i < m_engine.sensorCount(); ++i) {
        const SensorSettings &settings = m_settings.sensors[std::size_t(i)];
        const AlarmEngine::SensorState &state = m_engine.state(i);
        const AlarmEngine::Announced &told = m_engine.announced(i);
        SensorSnapshot sensor;
        sensor.number = settings.number;
        sensor.rom = settings.rom;
        sensor.name = settings.name.isNull() ? QStringLiteral("") : settings.name;
        sensor.hasValue = state.hasValue;
        sensor.value = state.value;
        sensor.valid = state.valid;
        sensor.unchangedSeconds = state.lastUtc - state.changedUtc;
        sensor.low = {settings.low.has_value(), told.low};
        sensor.high = {settings.high.has_value(), told.high};
        sensor.silent = {settings.silentAfterMinutes.has_value(), told.silent};
        s->sensors.push_back(sensor);
    }
    return s;
}

void Bridge::publish(bool toBroker)
{
    BridgeSnapshotPtr s = snapshot();
    m_status.setSnapshot(s);
    if (toBroker)
        Q_EMIT changed(std::move(s));
}

} // namespace kestrin
