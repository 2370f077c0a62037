#include "frmmain.h"

#include "appinfo.h"
#include "captions.h"
#include "commondialog.h"
#include "frmabout.h"
#include "helpviewer.h"
#include "localeformats.h"
#include "logrecord.h"
#include "messagebox.h"
#include "numberformat.h"
#include "settingsstore.h"
#include "statusbar.h"
#include "toolbar.h"
#include "toolbaricons.h"
#include "twips.h"
#include "windowframe.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>

#include <vector>

namespace kestrin {

namespace {

// The address box keeps this many entries; beyond it the oldest goes, so a
// logger that runs for months does not fill its memory with old URLs.
constexpr int AddressListLimit = 32767;

const QString kStatusText = QStringLiteral("Status");

struct MenuEntry
{
    const char *name;    // objectName
    const char *caption; // "-" for a separator
    int shortcut; // Qt key combination, 0 for none
    bool hidden;
    bool checked;
};

} // namespace

frmMain::frmMain(MainWindowServices services, QWidget *parent)
    : QMainWindow(parent)
    , m_services(std::move(services))
    , m_cycle(*this, m_services.gatewayHost)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(appinfo::mainCaption());
    setWindowIcon(ToolbarIcons::applicationIcon());
    m_openWindows.add(this);

    createControls();
    createMenus();
    createToolBar();
    createStatusBar();
    setTabOrder();
    placeBars();

    // Client area at its design size, below the menu bar.
    resize(twipsToPixelsX(ClientWidthTwips), twipsToPixelsY(ClientHeightTwips) + menuBar()->sizeHint().height());

    // The menu shortcuts win over the text fields' own (Ctrl+C in a field runs
    // Edit > Copy), so the shortcut-override request is looked at first.
    qApp->installEventFilter(this);
}

frmMain::~frmMain()
{
    qApp->removeEventFilter(this);
}

int frmMain::twipsToPixelsX(int twips) const
{
    return Twips::x(this, twips);
}

int frmMain::twipsToPixelsY(int twips) const
{
    return Twips::y(this, twips);
}

void frmMain::createControls()
{
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("clientArea"));
    setCentralWidget(m_client);
    m_client->installEventFilter(this);

    m_frameTimer = new QTimer(this);
    m_frameTimer->setSingleShot(true);
    m_frameTimer->setTimerType(Qt::PreciseTimer);
    connect(m_frameTimer, &QTimer::timeout, this, &frmMain::requestFrame);

    cboAddress = new QComboBox(m_client);
    cboAddress->setObjectName(QStringLiteral("cboAddress"));
    cboAddress->setEditable(true);
    cboAddress->setInsertPolicy(QComboBox::NoInsert);
    cboAddress->setMaxCount(AddressListLimit);
    // Nobody types addresses here; a completer would search the whole
    // growing list on every read.
    cboAddress->setCompleter(nullptr);
    cboAddress->setGeometry(Twips::rect(this, 1920, 360, 11650, 280));

    brwWebBrowser = new WebBrowser(m_client, m_services.browserOptions);
    brwWebBrowser->setObjectName(QStringLiteral("brwWebBrowser"));
    brwWebBrowser->setGeometry(Twips::rect(this, 1920, 960, 11650, 4570));

    auto label = [this](const char *name, const QString &text, QRect where) {
        auto *l = new QLabel(text, m_client);
        l->setObjectName(QString::fromLatin1(name));
        l->setTextFormat(Qt::PlainText);
        // "Records Written" has room for two lines; the others have one.
        l->setWordWrap(std::string_view(name) == "Label3");
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        l->setGeometry(where);
        return l;
    };
    auto field = [this](const char *name, QRect where) {
        auto *e = new QLineEdit(m_client);
        e->setObjectName(QString::fromLatin1(name));
        e->setGeometry(where);
        return e;
    };
    auto button = [this](const char *name, const QString &text, QRect where) {
        auto *b = new QPushButton(text, m_client);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        b->setDefault(false);
        b->setGeometry(where);
        return b;
    };

    Label1 = label("Label1", QStringLiteral("Sensor Number"), Twips::rect(this, 360, 1920, 1210, 250));
    txtSensorNum = field("txtSensorNum", Twips::rect(this, 360, 2280, 1090, 610));
    Label2 = label("Label2", QStringLiteral("Temperature"), Twips::rect(this, 360, 3120, 1210, 250));
    txtTemperature = field("txtTemperature", Twips::rect(this, 360, 3360, 1090, 610));
    btnFileWrite = button("btnFileWrite", QStringLiteral("Start Logging"), Twips::rect(this, 1920, 5760, 1690, 730));
    txtFileName = field("txtFileName", Twips::rect(this, 3840, 5760, 3970, 300));
    txtRecNum = field("txtRecNum", Twips::rect(this, 3840, 6240, 850, 300));
    Label3 = label("Label3", QStringLiteral("Records Written"), Twips::rect(this, 4800, 6240, 850, 370));
    btnStop = button("btnStop", QStringLiteral("Stop Program"), Twips::rect(this, 11760, 5760, 1690, 730));

    connect(btnFileWrite, &QPushButton::clicked, this, &frmMain::btnFileWrite_Click);
    connect(btnStop, &QPushButton::clicked, this, &frmMain::btnStop_Click);

    // Before the bars exist: only the design's own controls may grow.
    Captions::showWhole(m_client, twipsToPixelsX(ClientWidthTwips));
}

void frmMain::createMenus()
{
    struct Menu
    {
        const char *name;
        const char *caption;
        std::vector<MenuEntry> items;
    };
    const std::vector<Menu> menus = {
        {"mnuFile", "&File",
         {
             {"mnuFileNew", "&New", (Qt::CTRL | Qt::Key_N).toCombined(), false, false},
             {"mnuFileOpen", "&Open...", 0, false, false},
             {"mnuFileClose", "&Close", 0, false, false},
             {"mnuFileBar0", "-", 0, false, false},
             {"mnuFileSave", "&Save", 0, false, false},
             {"mnuFileSaveAs", "Save &As...", 0, false, false},
             {"mnuFileSaveAll", "Save A&ll", 0, false, false},
             {"mnuFileBar1", "-", 0, false, false},
             {"mnuFileProperties", "Propert&ies", 0, false, false},
             {"mnuFileBar2", "-", 0, false, false},
             {"mnuFilePageSetup", "Page Set&up...", 0, false, false},
             {"mnuFilePrintPreview", "Print Pre&view", 0, false, false},
             {"mnuFilePrint", "&Print...", 0, false, false},
             {"mnuFileBar3", "-", 0, false, false},
             {"mnuFileSend", "Sen&d...", 0, false, false},
             {"mnuFileBar4", "-", 0, false, false},
             {"mnuFileMRU1", "", 0, true, false},
             {"mnuFileMRU2", "", 0, true, false},
             {"mnuFileMRU3", "", 0, true, false},
             {"mnuFileBar5", "-", 0, true, false},
             {"mnuFileExit", "E&xit", 0, false, false},
         }},
        {"mnuEdit", "&Edit",
         {
             {"mnuEditUndo", "&Undo", 0, false, false},
             {"mnuEditBar0", "-", 0, false, false},
             {"mnuEditCut", "Cu&t", (Qt::CTRL | Qt::Key_X).toCombined(), false, false},
             {"mnuEditCopy", "&Copy", (Qt::CTRL | Qt::Key_C).toCombined(), false, false},
             {"mnuEditPaste", "&Paste", (Qt::CTRL | Qt::Key_V).toCombined(), false, false},
             {"mnuEditPasteSpecial", "Paste &Special...", 0, false, false},
         }},
        {"mnuView", "&View",
         {
             {"mnuViewToolbar", "&Toolbar", 0, false, true},
             {"mnuViewStatusBar", "Status &Bar", 0, false, true},
             {"mnuViewBar0", "-", 0, false, false},
             {"mnuViewRefresh", "&Refresh", 0, false, false},
             {"mnuViewOptions", "&Options...", 0, false, false},
             {"mnuViewWebBrowser", "&Web Browser", 0, false, false},
         }},
        {"mnuHelp", "&Help",
         {
             {"mnuHelpContents", "&Contents", 0, false, false},
             {"mnuHelpSearchForHelpOn", "&Search For Help On...", 0, false, false},
             {"mnuHelpBar0", "-", 0, false, false},
             {"mnuHelpAbout", "&About ", 0, false, false},
         }},
    };

    for (const Menu &m : menus) {
        QMenu *menu = menuBar()->addMenu(QString::fromLatin1(m.caption));
        menu->setObjectName(QString::fromLatin1(m.name));
        menu->menuAction()->setObjectName(QString::fromLatin1(m.name));
        for (const MenuEntry &e : m.items) {
            const QString name = QString::fromLatin1(e.name);
            const QString caption = QString::fromLatin1(e.caption);
            QAction *action = nullptr;
            if (caption == QLatin1String("-")) {
                action = menu->addSeparator();
            } else {
                action = menu->addAction(caption);
                if (e.shortcut != 0) {
                    action->setShortcut(QKeySequence(e.shortcut));
                    action->setShortcutContext(Qt::WindowShortcut);
                    m_shortcuts << action->shortcut();
                }
                if (name == QLatin1String("mnuViewToolbar") || name == QLatin1String("mnuViewStatusBar")) {
                    action->setCheckable(true);
                    action->setChecked(e.checked);
                }
            }
            action->setObjectName(name);
            action->setVisible(!e.hidden);
            m_menuItems.insert(name, action);
        }
    }

    const std::vector<std::pair<const char *, void (frmMain::*)()>> commands = {
        {"mnuFileNew", &frmMain::mnuFileNew_Click},
        {"mnuFileOpen", &frmMain::mnuFileOpen_Click},
        {"mnuFileClose", &frmMain::mnuFileClose_Click},
        {"mnuFileSave", &frmMain::mnuFileSave_Click},
        {"mnuFileSaveAs", &frmMain::mnuFileSaveAs_Click},
        {"mnuFileSaveAll", &frmMain::mnuFileSaveAll_Click},
        {"mnuFileProperties", &frmMain::mnuFileProperties_Click},
        {"mnuFilePageSetup", &frmMain::mnuFilePageSetup_Click},
        {"mnuFilePrintPreview", &frmMain::mnuFilePrintPreview_Click},
        {"mnuFilePrint", &frmMain::mnuFilePrint_Click},
        {"mnuFileSend", &frmMain::mnuFileSend_Click},
        {"mnuFileExit", &frmMain::mnuFileExit_Click},
        {"mnuEditUndo", &frmMain::mnuEditUndo_Click},
        {"mnuEditCut", &frmMain::mnuEditCut_Click},
        {"mnuEditCopy", &frmMain::mnuEditCopy_Click},
        {"mnuEditPaste", &frmMain::mnuEditPaste_Click},
        {"mnuEditPasteSpecial", &frmMain::mnuEditPasteSpecial_Click},
        {"mnuViewToolbar", &frmMain::mnuViewToolbar_Click},
        {"mnuViewStatusBar", &frmMain::mnuViewStatusBar_Click},
        {"mnuViewRefresh", &frmMain::mnuViewRefresh_Click},
        {"mnuViewOptions", &frmMain::mnuViewOptions_Click},
        {"mnuHelpContents", &frmMain::mnuHelpContents_Click},
        {"mnuHelpSearchForHelpOn", &frmMain::mnuHelpSearchForHelpOn_Click},
        {"mnuHelpAbout", &frmMain::mnuHelpAbout_Click},
    };
    for (const auto &[name, handler] : commands)
        connect(m_menuItems.value(QString::fromLatin1(name)), &QAction::triggered, this, handler);
}

void frmMain::createToolBar()
{
    imlToolbarIcons = new ToolbarIcons(this);
    imlToolbarIcons->setObjectName(QStringLiteral("imlToolbarIcons"));
    tbToolBar = new ToolBar(*imlToolbarIcons, m_client);
    tbToolBar->setObjectName(QStringLiteral("tbToolBar"));
    connect(tbToolBar, &ToolBar::ButtonClick, this, &frmMain::tbToolBar_ButtonClick);
}

void frmMain::createStatusBar()
{
    sbStatusBar = new StatusBar(m_services.clock, m_client);
    sbStatusBar->setObjectName(QStringLiteral("sbStatusBar"));
}

void frmMain::setTabOrder()
{
    // The browser is only a frame round its page view; the view is what takes
    // the focus, so the first Tab leaves the browser instead of entering it.
    if (auto *pageView = brwWebBrowser->findChild<QWidget *>(QStringLiteral("pageView")))
        brwWebBrowser->setFocusProxy(pageView);

    // The keyboard order of the design; labels and bars take no focus.
    const QList<QWidget *> order = {brwWebBrowser, cboAddress,     btnFileWrite, btnStop,
                                    txtSensorNum,  txtTemperature, txtFileName,  txtRecNum};
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        QWidget::setTabOrder(order.at(i), order.at(i + 1));
    brwWebBrowser->setFocus(Qt::OtherFocusReason);
}

void frmMain::placeBars()
{
    // Only the bars follow the client area's width; nothing else moves.
    const int width = m_client->width();
    tbToolBar->setGeometry(0, 0, width, twipsToPixelsY(336));
    const int barHeight = twipsToPixelsY(276);
    sbStatusBar->setGeometry(0, m_client->height() - barHeight, width, barHeight);
    tbToolBar->raise();
    sbStatusBar->raise();
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_client && event->type() == QEvent::Resize) {
        placeBars();
    } else if (event->type() == QEvent::ShortcutOverride) {
        auto *widget = qobject_cast<QWidget *>(watched);
        if (widget && widget->window() == this) {
            auto *key = static_cast<QKeyEvent *>(event);
            const QKeySequence pressed(key->keyCombination());
            // Left unaccepted, the key goes to the window's shortcuts instead
            // of the field's own copy, cut and paste.
            if (m_shortcuts.contains(pressed))
                return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::Show()
{
    if (!m_loaded) {
        m_loaded = true;
        Form_Load();
        return;
    }
    show();
}

void frmMain::Form_Load()
{
    m_loggingFlag = 0;
    m_recordCounter = 1;
    m_cycle.run();
}

// --- PollingView ---------------------------------------------------------

// Painting is paced here, not by what the cycle does: every change marks
// its widget dirty at once, and the repaint manager asks the window for a
// frame with one UpdateRequest. A request that comes sooner than a frame
// interval after the last frame is held back and asked again when the
// interval is over; the dirty regions add up meanwhile, so the frame that
// is painted shows everything that changed, and nothing is lost.
bool frmMain::event(QEvent *event)
{
    if (event->type() == QEvent::UpdateRequest) {
        const qint64 since = m_lastFrame.isValid() ? m_lastFrame.elapsed() : FrameIntervalMs;
        if (since < FrameIntervalMs) {
            if (!m_frameTimer->isActive())
                m_frameTimer->start(int(FrameIntervalMs - since));
            return true;
        }
        m_lastFrame.start();
        ++m_framesPainted;
    }
    return QMainWindow::event(event);
}

void frmMain::requestFrame()
{
    // Posted, not sent: the frame is painted once the cycle has shown the
    // read that just completed, never between its page and its number.
    QCoreApplication::postEvent(this, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
}

void frmMain::setAddressText(const QString &text)
{
    cboAddress->setEditText(text);
}

QString frmMain::addressText() const
{
    return cboAddress->currentText();
}

void frmMain::appendAddressItem(const QString &text)
{
    // Adding or dropping items may move the current index, which would
    // overwrite the text being shown; keep it.
    const QString shown = cboAddress->currentText();
    if (cboAddress->count() >= AddressListLimit)
        cboAddress->removeItem(0);
    cboAddress->addItem(text);
    if (cboAddress->currentText() != shown)
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
    txtSensorNum->setText(text);
}

void frmMain::setTemperatureText(const QString &text)
{
    txtTemperature->setText(text);
}

void frmMain::processEvents()
{
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

bool frmMain::windowGone() const
{
    return m_unloaded || m_ended;
}

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
    auto twips = [](int pixels, int dpi) { return float(double(pixels) * Twips::PerInch / double(dpi)); };
    const std::vector<std::pair<QString, std::function<float()>>> values = {
        {QStringLiteral("MainLeft"), [&] { return twips(m_services.windowFrame.outerFrame(*this).x(), logicalDpiX()); }},
        {QStringLiteral("MainTop"), [&] { return twips(m_services.windowFrame.outerFrame(*this).y(), logicalDpiY()); }},
        {QStringLiteral("MainWidth"), [&] { return twips(m_services.windowFrame.outerFrame(*this).width(), logicalDpiX()); }},
        {QStringLiteral("MainHeight"), [&] { return twips(m_services.windowFrame.outerFrame(*this).height(), logicalDpiY()); }},
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

// --- Commands ------------------------------------------------------------

void frmMain::placeholder(const QString &text)
{
    m_services.messageBox.MsgBox(this, text, mb::OK, QString());
}

void frmMain::mnuFileNew_Click() { placeholder(QStringLiteral("Add 'mnuFileNew_Click' code.")); }
void frmMain::mnuFileClose_Click() { placeholder(QStringLiteral("Add 'mnuFileClose_Click' code.")); }
void frmMain::mnuFileSave_Click() { placeholder(QStringLiteral("Add 'mnuFileSave_Click' code.")); }
void frmMain::mnuFileSaveAs_Click() { placeholder(QStringLiteral("Add 'mnuFileSaveAs_Click' code.")); }
void frmMain::mnuFileSaveAll_Click() { placeholder(QStringLiteral("Add 'mnuFileSaveAll_Click' code.")); }
void frmMain::mnuFileProperties_Click() { placeholder(QStringLiteral("Add 'mnuFileProperties_Click' code.")); }
void frmMain::mnuFilePrintPreview_Click() { placeholder(QStringLiteral("Add 'mnuFilePrintPreview_Click' code.")); }
void frmMain::mnuFilePrint_Click() { placeholder(QStringLiteral("Add 'mnuFilePrint_Click' code.")); }
void frmMain::mnuFileSend_Click() { placeholder(QStringLiteral("Add 'mnuFileSend_Click' code.")); }
void frmMain::mnuEditUndo_Click() { placeholder(QStringLiteral("Add 'mnuEditUndo_Click' code.")); }
void frmMain::mnuEditCut_Click() { placeholder(QStringLiteral("Add 'mnuEditCut_Click' code.")); }
void frmMain::mnuEditCopy_Click() { placeholder(QStringLiteral("Add 'mnuEditCopy_Click' code.")); }
void frmMain::mnuEditPaste_Click() { placeholder(QStringLiteral("Add 'mnuEditPaste_Click' code.")); }
void frmMain::mnuEditPasteSpecial_Click() { placeholder(QStringLiteral("Add 'mnuEditPasteSpecial_Click' code.")); }
void frmMain::mnuViewRefresh_Click() { placeholder(QStringLiteral("Add 'mnuViewRefresh_Click' code.")); }
void frmMain::mnuViewOptions_Click() { placeholder(QStringLiteral("Add 'mnuViewOptions_Click' code.")); }

void frmMain::mnuFileOpen_Click()
{
    CommonDialog &dialog = m_services.commonDialog;
    dialog.DialogTitle = QStringLiteral("Open");
    dialog.CancelError = false;
    dialog.Filter = QStringLiteral("All Files (*.*)|*.*");
    dialog.ShowOpen(this);
    // The name chosen is not used here; it stays in the dialog for its next use.
}

void frmMain::mnuFilePageSetup_Click()
{
    CommonDialog &dialog = m_services.commonDialog;
    dialog.DialogTitle = QStringLiteral("Page Setup");
    dialog.CancelError = true;
    // Cancel and every failure end the command quietly.
    dialog.ShowPrinter(this);
}

void frmMain::mnuFileExit_Click()
{
    close();
}

void frmMain::mnuViewToolbar_Click()
{
    // The action has already flipped its own check mark; the bar follows it.
    tbToolBar->setVisible(m_menuItems.value(QStringLiteral("mnuViewToolbar"))->isChecked());
}

void frmMain::mnuViewStatusBar_Click()
{
    sbStatusBar->setVisible(m_menuItems.value(QStringLiteral("mnuViewStatusBar"))->isChecked());
}

void frmMain::mnuHelpContents_Click()
{
    showHelp(helpcmd::Contents);
}

void frmMain::mnuHelpSearchForHelpOn_Click()
{
    showHelp(helpcmd::PartialKey);
}

void frmMain::showHelp(quint32 command)
{
    if (m_services.helpFile.isEmpty()) {
        m_services.messageBox.MsgBox(
            this, QStringLiteral("Unable to display Help Contents. There is no Help associated with this project."),
            mb::IconInformation, windowTitle());
        return;
    }
    const quint16 emptyKeyword = 0;
    const std::optional<QString> failure = m_services.helpViewer.WinHelp(
        quintptr(winId()), m_services.helpFile.toLocal8Bit(), command, &emptyKeyword);
    if (failure)
        m_services.messageBox.MsgBox(this, *failure, mb::OK, QString());
}

void frmMain::mnuHelpAbout_Click()
{
    frmAbout about(this, m_services.messageBox, m_services.registry, m_services.system, m_services.windowFrame);
    m_openWindows.add(&about);
    about.exec();
    m_openWindows.remove(&about);
}

void frmMain::tbToolBar_ButtonClick(QAction *button)
{
    const QString key = ToolBar::Key(button);
    const std::vector<std::pair<const char *, std::function<void()>>> dispatch = {
        {"New", [this] { placeholder(QStringLiteral("Add 'New' button code.")); }},
        {"Open", [this] { mnuFileOpen_Click(); }},
        {"Save", [this] { mnuFileSave_Click(); }},
        {"Print", [this] { mnuFilePrint_Click(); }},
        {"Cut", [this] { mnuEditCut_Click(); }},
        {"Copy", [this] { mnuEditCopy_Click(); }},
        {"Paste", [this] { mnuEditPaste_Click(); }},
        {"Bold", [this] { placeholder(QStringLiteral("Add 'Bold' button code.")); }},
        {"Italic", [this] { placeholder(QStringLiteral("Add 'Italic' button code.")); }},
        {"Underline", [this] { placeholder(QStringLiteral("Add 'Underline' button code.")); }},
        {"Align Left", [this] { placeholder(QStringLiteral("Add 'Align Left' button code.")); }},
        {"Center", [this] { placeholder(QStringLiteral("Add 'Center' button code.")); }},
        {"Align Right", [this] { placeholder(QStringLiteral("Add 'Align Right' button code.")); }},
    };
    for (const auto &[name, action] : dispatch) {
        if (key == QLatin1String(name)) { // whole text, letter case significant
            // A toolbar click never ends in an error: whatever the command
            // (or a forwarded menu command) runs into stops it, quietly.
            try {
                action();
            } catch (...) {
            }
            return;
        }
    }
}

} // namespace kestrin
