#include "frmmain.h"

#include "localeformats.h"
#include "statusbar.h"
#include "webbrowser.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>

namespace kestrin {

namespace {

const QString kStatusText = QStringLiteral("Status");

} // namespace

void frmMain::setAddressText(const QString &text)
{
    showPaced(AddressField, text);
}

QString frmMain::addressText() const
{
    const PacedText &address = m_paced[AddressField];
    return address.pending ? address.text : cboAddress->currentText();
}

void frmMain::appendAddressItem(const QString &text)
{
    // Adding or dropping items may move the current index, which would
    // overwrite the text being shown; keep it (a text still to be shown is
    // put in with the next frame anyway).
    const QString shown = cboAddress->currentText();
    if (cboAddress->count() >= AddressListLimit)
        cboAddress->removeItem(0);
    cboAddress->addItem(text);
    if (!m_paced[AddressField].pending && cboAddress->currentText() != shown)
        cboAddress->setEditText(shown);
}

void frmMain::navigate(const QString &url)
{
    brwWebBrowser->Navigate(url);
}

int frmMain::readyState() const
{
    return brwWebBrowser->ReadyState();
}

std::optional<QString> frmMain::temperatureValue() const
{
    const HtmlDocument *document = brwWebBrowser->Document();
    if (!document)
        return std::nullopt;
    const std::optional<HtmlElement> element = document->getElementById(QStringLiteral("Temperature_0"));
    if (!element)
        return std::nullopt;
    return element->Value();
}

void frmMain::showWindow()
{
    if (!isVisible())
        show();
}

void frmMain::setSensorNumText(const QString &text)
{
    showPaced(NumberField, text);
}

void frmMain::setTemperatureText(const QString &text)
{
    showPaced(TemperatureField, text);
}

void frmMain::processEvents()
{
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

bool frmMain::windowGone() const
{
    return m_unloaded || m_ended;
}

std::optional<QString> frmMain::loadFailure() const
{
    const QString error = brwWebBrowser->LoadError();
    return error.isEmpty() ? std::nullopt : std::optional<QString>(error);
}

void frmMain::sensorAnswered(qint16 slot, const std::optional<QString> &failure)
{
    const auto known = m_silentSensors.find(slot);
    if (!failure) {
        if (known == m_silentSensors.end())
            return;
        m_silentSensors.erase(known);
    } else if (known == m_silentSensors.end()) {
        m_silentSensors[slot] = SilentSensor{m_services.clock(), *failure};
    } else {
        known->second.reason = *failure;
    }
    showStatus();
}

void frmMain::showStatus()
{
    QString text = kStatusText;
    if (!m_writeFailure.isEmpty()) {
        text = QStringLiteral("Records are not being written: ") + m_writeFailure;
    } else if (!m_silentSensors.empty()) {
        QStringList numbers;
        QDateTime since = m_silentSensors.begin()->second.since;
        const QString reason = m_silentSensors.begin()->second.reason;
        bool oneReason = true;
        for (const auto &[slot, silent] : m_silentSensors) {
            numbers << QString::number(slot + 1);
            since = std::min(since, silent.since);
            oneReason = oneReason && silent.reason == reason;
        }
        const QLocale locale;
        text = QStringLiteral("No answer from %1 %2 since %3")
                   .arg(numbers.size() == 1 ? QStringLiteral("sensor") : QStringLiteral("sensors"),
                        numbers.join(QStringLiteral(", ")),
                        locale.toString(since.time(), LocaleFormats::timeWithSeconds(locale)));
        if (oneReason)
            text += QStringLiteral(" (%1)").arg(reason);
    }
    sbStatusBar->setPanelText(1, text);
}

} // namespace kestrin
