#pragma once

// How the parts meet, all on the one GUI thread:
//
// Start-up (src/app) creates frmMain and calls Show(), which runs Form_Load;
// it does not return while the program lives: it resets the logging state
// and runs the PollingCycle (src/acquisition). The cycle reads one sensor at
// a time through brwWebBrowser, the browser view (src/browser: page loader,
// page screen and HTML document below it), and, while it waits for a page,
// runs the event loop (PollingView::processEvents). Every other handler of
// this window (the logging buttons, the menu and toolbar commands, the close
// sequence, the About box) therefore runs inside that wait, never in the
// middle of a record. A modal box opened by a handler holds the cycle until
// it closes; the page being loaded finishes meanwhile.
//
// The record step runs at the end of every pass (endOfPass). It writes one
// whole line to the log file through LogWriter, or none at all.
//
// However the window goes away (close box, File > Exit, a termination
// signal), closeEvent runs Form_Unload, which saves the placement; the
// cycle notices as soon as its wait returns and ends the program the way
// "Stop Program" does: log file closed, process ended.
//
// The platform services (src/platform: dialogs, message box, settings,
// registry, help, window frame) come in through MainWindowServices.
//
// The class is written in four files: frmmain.cpp (construction, layout,
// keyboard and frame pacing), frmmain_polling.cpp (the PollingView the
// cycle drives, the status panel), frmmain_logging.cpp (the record step,
// the logging buttons and the close sequence) and frmmain_commands.cpp (the
// menu and toolbar commands).

#include "logwriter.h"
#include "mainwindowservices.h"
#include "openwindows.h"
#include "pollingcycle.h"
#include "pollingview.h"

#include <QElapsedTimer>
#include <QHash>
#include <QDateTime>
#include <QMainWindow>

#include <array>
#include <map>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;

namespace kestrin {

class StatusBar;
class ToolBar;
class ToolbarIcons;

class frmMain final : public QMainWindow, private PollingView
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmMain)

public:
    static constexpr int ClientWidthTwips = 15120;
    static constexpr int ClientHeightTwips = 8172;

    explicit frmMain(MainWindowServices services, QWidget *parent = nullptr);
    ~frmMain() override;

    // Loads the window, which runs the polling cycle; called once, by start-up.
    void Show();

    // Logging state, as the record step and the buttons share it.
    qint16 loggingFlag() const { return m_loggingFlag; }
    qint64 recordCounter() const { return m_recordCounter; }

    // The acquisition engine, so that a pass can be run on its own.
    PollingCycle &cycle() { return m_cycle; }
    OpenWindows &openWindows() { return m_openWindows; }
    // True once the window has been unloaded.
    bool isUnloaded() const { return m_unloaded; }
    bool hasEnded() const { return m_ended; }

    QAction *menuItem(const QString &name) const { return m_menuItems.value(name); }
    QWidget *clientArea() const { return m_client; }

    void Form_Load();
    void Form_Unload(qint16 &cancel);

    void btnFileWrite_Click();
    void btnStop_Click();
    void tbToolBar_ButtonClick(QAction *button);

    void mnuFileNew_Click();
    void mnuFileOpen_Click();
    void mnuFileClose_Click();
    void mnuFileSave_Click();
    void mnuFileSaveAs_Click();
    void mnuFileSaveAll_Click();
    void mnuFileProperties_Click();
    void mnuFilePageSetup_Click();
    void mnuFilePrintPreview_Click();
    void mnuFilePrint_Click();
    void mnuFileSend_Click();
    void mnuFileExit_Click();
    void mnuEditUndo_Click();
    void mnuEditCut_Click();
    void mnuEditCopy_Click();
    void mnuEditPaste_Click();
    void mnuEditPasteSpecial_Click();
    void mnuViewToolbar_Click();
    void mnuViewStatusBar_Click();
    void mnuViewRefresh_Click();
    void mnuViewOptions_Click();
    void mnuHelpContents_Click();
    void mnuHelpSearchForHelpOn_Click();
    void mnuHelpAbout_Click();

    // Frames the window has painted, for measuring what the screen shows.
    qint64 framesPainted() const { return m_framesPainted; }

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // PollingView
    void setAddressText(const QString &text) override;
    QString addressText() const override;
    void appendAddressItem(const QString &text) override;
    void navigate(const QString &url) override;
    int readyState() const override;
    std::optional<QString> temperatureValue() const override;
    void showWindow() override;
    void setSensorNumText(const QString &text) override;
    void setTemperatureText(const QString &text) override;
    void processEvents() override;
    bool windowGone() const override;
    void endAfterUnload() override;
    void endOfPass(const SensorTable &table, qint16 sensorCount) override;
    std::optional<QString> loadFailure() const override;
    void sensorAnswered(qint16 slot, const std::optional<QString> &failure) override;

    // The first status panel: a failing log write first (it loses data),
    // then the sensors that do not answer, else "Status".
    void showStatus();

    void createControls();
    void createMenus();
    void createToolBar();
    void createStatusBar();
    void setTabOrder();
    void nameControls();
    void placeBars();

    void requestFrame();
    void armFrameTimer(qint64 ms);

    // The texts the cycle changes with every read: the address, the sensor
    // number and the temperature.
    enum PacedField { AddressField, NumberField, TemperatureField, PacedFieldCount };
    void showPaced(PacedField field, const QString &text);
    void showPendingTexts();
    void applyPaced(PacedField field);
    void placeholder(const QString &text);
    void showHelp(quint32 command);
    void endProgram();

    MainWindowServices m_services;
    PollingCycle m_cycle;
    LogWriter m_log;
    OpenWindows m_openWindows;
    QHash<QString, QAction *> m_menuItems;
    QList<QKeySequence> m_shortcuts;

    qint16 m_loggingFlag = 0;
    qint64 m_recordCounter = 1;
    bool m_unloaded = false;
    bool m_ended = false;
    QString m_writeFailure; // empty while records are written

    struct SilentSensor
    {
        QDateTime since;
        QString reason;
    };
    std::map<qint16, SilentSensor> m_silentSensors; // by slot

    // The address box keeps this many entries; beyond it the oldest goes, so a
    // logger that runs for months does not fill its memory with old URLs.
    static constexpr int AddressListLimit = 32767;

    // At most one frame every FrameIntervalMs: a fast gateway changes the
    // texts far more often than a screen can show them.
    static constexpr qint64 FrameIntervalMs = 40;
    QTimer *m_frameTimer = nullptr;
    QElapsedTimer m_lastFrame;
    qint64 m_framesPainted = 0;

    // Laying out a text is most of what showing a read costs. A field whose
    // text changed less than a frame interval ago takes the newest text once
    // that interval is over instead, so against a fast gateway each frame
    // still shows the state of the moment, no layout is spent on a text no
    // one can see, and a screen reader hears at most 25 changes a second.
    struct PacedText
    {
        QString text;
        bool pending = false;
        QElapsedTimer lastShown;
    };
    std::array<PacedText, PacedFieldCount> m_paced;

    QWidget *m_client = nullptr;
    ToolbarIcons *imlToolbarIcons = nullptr;
    ToolBar *tbToolBar = nullptr;
    QComboBox *cboAddress = nullptr;
    WebBrowser *brwWebBrowser = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *txtSensorNum = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *txtTemperature = nullptr;
    QPushButton *btnFileWrite = nullptr;
    QLineEdit *txtFileName = nullptr;
    QLineEdit *txtRecNum = nullptr;
    QLabel *Label3 = nullptr;
    QPushButton *btnStop = nullptr;
    StatusBar *sbStatusBar = nullptr;
};

} // namespace kestrin
