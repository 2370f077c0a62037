#pragma once

#include "sensortable.h"

namespace kestrin {

class PollingView;

// The acquisition engine: reads every polled sensor through the browser view,
// one after another, shows each reading, and ends each pass with the record
// step. All of it runs on the one GUI thread; every other handler runs inside
// the wait for a page (PollingView::processEvents), never in the middle of a
// record.
class PollingCycle final
{
public:
    static constexpr int ReadyStateComplete = 4;

    // The built-in table: slots 0 to 12 filled, 11 sensors read.
    explicit PollingCycle(PollingView &view, QString host = SensorTable::builtInHost());
    // A site's sensors: slot i reads romIds[i], and a pass reads sensorCount
    // slots.
    PollingCycle(PollingView &view, QString host, std::vector<QString> romIds, qint16 sensorCount);

    // Steps before the first pass: empty readings, the table filled, the
    // sensor count set.
    void prepare();
    // Passes until the window is gone; the program normally ends inside.
    void run();
    // One pass over slots 0 .. sensorCount - 1. Returns false when the window
    // went away during it (the rest of the pass does not run).
    bool runPass(qint16 sensorCount);
    // Reads one slot; false when the window went away while waiting.
    bool readSlot(qint16 slot);

    const SensorTable &table() const { return m_table; }
    SensorTable &table() { return m_table; }
    qint16 sensorCount() const { return m_sensorCount; }

private:
    bool waitForPage();

    PollingView &m_view;
    QString m_host;
    std::vector<QString> m_romIds;
    qint16 m_polledCount;
    SensorTable m_table;
    qint16 m_sensorCount = 0;
};

} // namespace kestrin
