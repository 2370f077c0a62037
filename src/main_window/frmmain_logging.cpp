#include "frmmain.h"

#include "appinfo.h"
#include "commondialog.h"
#include "logrecord.h"
#include "messagebox.h"
#include "numberformat.h"
#include "settingsstore.h"
#include "twips.h"
#include "windowframe.h"

#include <QCloseEvent>
#include <QLineEdit>
#include <QPushButton>

#include <functional>
#include <vector>

namespace kestrin {

void frmMain::endAfterUnload()
{
    if (m_ended)
        return;
    if (m_loggingFlag == -1)
        m_log.close();
    endProgram();
}

void frmMain::endProgram()
{
    m_ended = true;
    if (m_services.endProcess)
        m_services.endProcess();
}

void frmMain::endOfPass(const SensorTable &table, qint16 sensorCount)
{
    // The last read's texts, unless their fields changed less than a frame
    // ago; those follow within the frame.
    showPendingTexts();
    if (m_loggingFlag != -1)
        return;

    std::vector<float> readings;
    readings.reserve(std::size_t(std::max<qint16>(sensorCount, 0)));
    for (qint16 j = 0; j < sensorCount; ++j)
        readings.push_back(table.reading(j).value_or(0.0f));

    const QByteArray record = LogRecord::bytes(m_services.clock(), readings, QLocale());
    if (const std::optional<QString> error = m_log.append(record)) {
        // Not counted: the counter says how many records the file holds.
        m_writeFailure = QString(*error).replace(u'\n', u' ');
        showStatus();
        return;
    }
    if (!m_writeFailure.isEmpty()) {
        m_writeFailure.clear();
        showStatus();
    }
    txtRecNum->setText(QString::number(m_recordCounter));
    ++m_recordCounter;
}

// --- Logging -------------------------------------------------------------

void frmMain::btnFileWrite_Click()
{
    if (m_loggingFlag != 0) {
        m_log.close();
        m_loggingFlag = 0;
        btnFileWrite->setText(QStringLiteral("Start Logging"));
        // Nothing is failing once nothing is written.
        m_writeFailure.clear();
        showStatus();
        return;
    }

    CommonDialog &dialog = m_services.commonDialog;
    dialog.Filter = QStringLiteral("all Files | *.*");
    // A cancel means no: the name picked last time is offered again, but
    // never opened behind the user's back.
    if (dialog.ShowOpen(this) != CommonDialog::Outcome::Confirmed || dialog.FileName.isEmpty())
        return;

    const QString fileName = dialog.FileName;
    if (const std::optional<QString> error = m_log.open(fileName)) {
        m_services.messageBox.MsgBox(this, *error, mb::IconExclamation, QString());
        return;
    }
    m_loggingFlag = -1;
    txtFileName->setText(fileName);
    btnFileWrite->setText(QStringLiteral("Stop Logging"));
}

void frmMain::btnStop_Click()
{
    if (m_loggingFlag == -1)
        m_log.close();
    close();
    endProgram();
}

// --- Closing -------------------------------------------------------------

void frmMain::closeEvent(QCloseEvent *event)
{
    if (!m_unloaded) {
        qint16 cancel = 0;
        Form_Unload(cancel);
        m_unloaded = true;
    }
    event->accept();
}

void frmMain::Form_Unload(qint16 &cancel)
{
    Q_UNUSED(cancel); // the unload always goes ahead

    for (qint16 i = qint16(m_openWindows.count() - 1); i >= 1; --i)
        m_openWindows.unload(i);

    if (windowState() & Qt::WindowMinimized)
        return;

    // The outer frame's bounds in twips, each read just before its write
    // from the window system: Qt's cached frame may still be that of the
    // state before.
    const QString app = appinfo::title();
    const QString section = QStringLiteral("Settings");
    auto frame = [this] { return m_services.windowFrame.outerFrame(*this); };
    const std::vector<std::pair<QString, std::function<float()>>> values = {
        {QStringLiteral("MainLeft"), [&] { return Twips::fromPixels(frame().x(), logicalDpiX()); }},
        {QStringLiteral("MainTop"), [&] { return Twips::fromPixels(frame().y(), logicalDpiY()); }},
        {QStringLiteral("MainWidth"), [&] { return Twips::fromPixels(frame().width(), logicalDpiX()); }},
        {QStringLiteral("MainHeight"), [&] { return Twips::fromPixels(frame().height(), logicalDpiY()); }},
    };
    std::optional<QString> failure;
    for (const auto &[key, read] : values) {
        failure = m_services.settings.SaveSetting(app, section, key, NumberFormat::plainText(read(), QLocale()));
        if (failure)
            break;
    }
    if (!failure)
        failure = m_services.settings.flush();
    // The close goes on: the log file still has to be closed properly.
    if (failure) {
        m_services.messageBox.MsgBox(this,
                                     QStringLiteral("Cannot save the window placement to %1:\n%2.")
                                         .arg(m_services.settings.location(), *failure),
                                     mb::IconExclamation, QString());
    }
}

} // namespace kestrin
