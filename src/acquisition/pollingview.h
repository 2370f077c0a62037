#pragma once

#include <QString>

#include <optional>

namespace kestrin {

class SensorTable;

// What the polling cycle needs of the main window and its browser view.
// The main window implements it; tests hand in a scripted one.
class PollingView
{
public:
    virtual ~PollingView() = default;

    virtual void setAddressText(const QString &text) = 0;
    virtual QString addressText() const = 0;
    virtual void appendAddressItem(const QString &text) = 0;
    virtual void navigate(const QString &url) = 0;
    virtual int readyState() const = 0;
    // The page's "Temperature_0" value; nullopt when there is no document,
    // no such element, or the element has no value.
    virtual std::optional<QString> temperatureValue() const = 0;
    virtual void showWindow() = 0;
    virtual void setSensorNumText(const QString &text) = 0;
    virtual void setTemperatureText(const QString &text) = 0;

    // Runs pending events, blocking until at least one arrives.
    virtual void processEvents() = 0;
    // True once the window has been unloaded or the program has begun to end;
    // from then on the cycle touches no control.
    virtual bool windowGone() const = 0;
    // Called when the cycle sees the window gone; ends the program.
    virtual void endAfterUnload() = 0;

    // Why the page just loaded is no page at all (no answer, an HTTP error,
    // a page refused); nullopt when a page came.
    virtual std::optional<QString> loadFailure() const { return std::nullopt; }
    // After each read: nullopt when the sensor gave a reading, else why not.
    virtual void sensorAnswered(qint16 slot, const std::optional<QString> &failure)
    {
        Q_UNUSED(slot);
        Q_UNUSED(failure);
    }

    // The record step, at the end of every pass.
    virtual void endOfPass(const SensorTable &table, qint16 sensorCount) = 0;
};

} // namespace kestrin
