#include "pollingcycle.h"

#include "numberformat.h"
#include "pollingview.h"
#include "readingtext.h"

namespace kestrin {

PollingCycle::PollingCycle(PollingView &view, QString host)
    : PollingCycle(view, std::move(host), SensorTable::builtInRomIds(), SensorTable::DefaultSensorCount)
{
}

PollingCycle::PollingCycle(PollingView &view, QString host, std::vector<QString> romIds, qint16 sensorCount)
    : m_view(view)
    , m_host(std::move(host))
    , m_romIds(std::move(romIds))
    , m_polledCount(sensorCount)
{
}

void PollingCycle::prepare()
{
    m_table = SensorTable();
    m_sensorCount = m_polledCount;
    m_table.fill(m_host, m_romIds);
}

void PollingCycle::run()
{
    prepare();
    while (runPass(m_sensorCount)) {
    }
}

bool PollingCycle::runPass(qint16 sensorCount)
{
    for (qint16 i = 0; i < sensorCount; ++i) {
        if (!readSlot(i))
            return false;
    }
    m_view.endOfPass(m_table, sensorCount);
    if (m_view.windowGone()) {
        m_view.endAfterUnload();
        return false;
    }
    return true;
}

bool PollingCycle::readSlot(qint16 slot)
{
    // An index beyond the table is skipped like an empty slot.
    const std::optional<QString> url = m_table.url(slot);
    if (!url || url->isEmpty())
        return true;

    m_view.setAddressText(*url);
    m_view.appendAddressItem(m_view.addressText());
    m_view.navigate(*url);
    if (!waitForPage())
        return false;

    m_view.showWindow();
    const QLocale locale; // the user's, read at each use so a change takes effect
    std::optional<QString> failure = m_view.loadFailure();
    if (const std::optional<QString> text = m_view.temperatureValue()) {
        if (const std::optional<float> value = readingFromText(*text, locale))
            m_table.setReading(slot, *value);
        else if (!failure)
            failure = text->trimmed().isEmpty()
                ? QStringLiteral("empty value")
                : QStringLiteral("value \"%1\" is not a number").arg(text->left(24));
    } else if (!failure) {
        failure = QStringLiteral("no Temperature_0 on the page");
    }
    m_view.setSensorNumText(QString::number(slot + 1));
    m_view.setTemperatureText(NumberFormat::displayText(m_table.reading(slot).value_or(0.0f), locale));
    // The reading shown (and logged) is the last good one; the window says
    // so instead of passing an old value off as new.
    m_view.sensorAnswered(slot, failure);
    return true;
}

bool PollingCycle::waitForPage()
{
    while (m_view.readyState() != ReadyStateComplete) {
        m_view.processEvents();
        if (m_view.windowGone()) {
            m_view.endAfterUnload();
            return false;
        }
    }
    return true;
}

} // namespace kestrin
