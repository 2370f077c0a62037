#include "frmmain.h"

#include "appinfo.h"
#include "captions.h"
#include "statusbar.h"
#include "toolbar.h"
#include "toolbaricons.h"
#include "twips.h"
#include "webbrowser.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>

#include <optional>
#include <vector>

namespace kestrin {

namespace {

struct MenuEntry
{
    const char *name;    // objectName
    const char *caption; // "-" for a separator
    int shortcut; // Qt key combination, 0 for none
    bool hidden;
    bool checked;
    void (frmMain::*click)(); // null for a separator or an item without a command
};

} // namespace

frmMain::frmMain(MainWindowServices services, QWidget *parent)
    : QMainWindow(parent)
    , m_services(std::move(services))
    , m_cycle(*this, m_services.gatewayHost, m_services.romIds, m_services.sensorCount)
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
    nameControls();
    placeBars();

    // Client area at its design size, below the menu bar.
    resize(Twips::x(this, ClientWidthTwips), Twips::y(this, ClientHeightTwips) + menuBar()->sizeHint().height());
}

frmMain::~frmMain() = default;

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
    Captions::showWhole(m_client, Twips::x(this, ClientWidthTwips));
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
             {"mnuFileNew", "&New", (Qt::CTRL | Qt::Key_N).toCombined(), false, false, &frmMain::mnuFileNew_Click},
             {"mnuFileOpen", "&Open...", 0, false, false, &frmMain::mnuFileOpen_Click},
             {"mnuFileClose", "&Close", 0, false, false, &frmMain::mnuFileClose_Click},
             {"mnuFileBar0", "-", 0, false, false, nullptr},
             {"mnuFileSave", "&Save", 0, false, false, &frmMain::mnuFileSave_Click},
             {"mnuFileSaveAs", "Save &As...", 0, false, false, &frmMain::mnuFileSaveAs_Click},
             {"mnuFileSaveAll", "Save A&ll", 0, false, false, &frmMain::mnuFileSaveAll_Click},
             {"mnuFileBar1", "-", 0, false, false, nullptr},
             {"mnuFileProperties", "Propert&ies", 0, false, false, &frmMain::mnuFileProperties_Click},
             {"mnuFileBar2", "-", 0, false, false, nullptr},
             {"mnuFilePageSetup", "Page Set&up...", 0, false, false, &frmMain::mnuFilePageSetup_Click},
             {"mnuFilePrintPreview", "Print Pre&view", 0, false, false, &frmMain::mnuFilePrintPreview_Click},
             {"mnuFilePrint", "&Print...", 0, false, false, &frmMain::mnuFilePrint_Click},
             {"mnuFileBar3", "-", 0, false, false, nullptr},
             {"mnuFileSend", "Sen&d...", 0, false, false, &frmMain::mnuFileSend_Click},
             {"mnuFileBar4", "-", 0, false, false, nullptr},
             {"mnuFileMRU1", "", 0, true, false, nullptr},
             {"mnuFileMRU2", "", 0, true, false, nullptr},
             {"mnuFileMRU3", "", 0, true, false, nullptr},
             {"mnuFileBar5", "-", 0, true, false, nullptr},
             {"mnuFileExit", "E&xit", 0, false, false, &frmMain::mnuFileExit_Click},
         }},
        {"mnuEdit", "&Edit",
         {
             {"mnuEditUndo", "&Undo", 0, false, false, &frmMain::mnuEditUndo_Click},
             {"mnuEditBar0", "-", 0, false, false, nullptr},
             {"mnuEditCut", "Cu&t", (Qt::CTRL | Qt::Key_X).toCombined(), false, false, &frmMain::mnuEditCut_Click},
             {"mnuEditCopy", "&Copy", (Qt::CTRL | Qt::Key_C).toCombined(), false, false, &frmMain::mnuEditCopy_Click},
             {"mnuEditPaste", "&Paste", (Qt::CTRL | Qt::Key_V).toCombined(), false, false, &frmMain::mnuEditPaste_Click},
             {"mnuEditPasteSpecial", "Paste &Special...", 0, false, false, &frmMain::mnuEditPasteSpecial_Click},
         }},
        {"mnuView", "&View",
         {
             {"mnuViewToolbar", "&Toolbar", 0, false, true, &frmMain::mnuViewToolbar_Click},
             {"mnuViewStatusBar", "Status &Bar", 0, false, true, &frmMain::mnuViewStatusBar_Click},
             {"mnuViewBar0", "-", 0, false, false, nullptr},
             {"mnuViewRefresh", "&Refresh", 0, false, false, &frmMain::mnuViewRefresh_Click},
             {"mnuViewOptions", "&Options...", 0, false, false, &frmMain::mnuViewOptions_Click},
             {"mnuViewWebBrowser", "&Web Browser", 0, false, false, nullptr},
         }},
        {"mnuHelp", "&Help",
         {
             {"mnuHelpContents", "&Contents", 0, false, false, &frmMain::mnuHelpContents_Click},
             {"mnuHelpSearchForHelpOn", "&Search For Help On...", 0, false, false, &frmMain::mnuHelpSearchForHelpOn_Click},
             {"mnuHelpBar0", "-", 0, false, false, nullptr},
             {"mnuHelpAbout", "&About ", 0, false, false, &frmMain::mnuHelpAbout_Click},
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
            if (e.click)
                connect(action, &QAction::triggered, this, e.click);
        }
    }
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

    // The menu shortcuts win over the fields' own (Ctrl+C in a field runs
    // Edit > Copy): each field that has copy, cut or paste of its own asks
    // this window first. The address box passes the request on to its line
    // edit, the browser's page view copies its selection.
    const QList<QWidget *> textFields = {cboAddress,   cboAddress->lineEdit(), txtSensorNum, txtTemperature,
                                         txtFileName,  txtRecNum,              brwWebBrowser->focusProxy()};
    for (QWidget *textField : textFields) {
        if (textField)
            textField->installEventFilter(this);
    }
}

// What a screen reader says for each control. A labelled field takes its
// label's text as its name (and the label-for relation with it); the others
// are named here. Nothing of this shows on the screen.
void frmMain::nameControls()
{
    Label1->setBuddy(txtSensorNum);
    Label2->setBuddy(txtTemperature);
    Label3->setBuddy(txtRecNum);
    txtSensorNum->setAccessibleDescription(QStringLiteral("The number of the sensor read last"));
    txtTemperature->setAccessibleDescription(QStringLiteral("The last reading of that sensor, in degrees Celsius"));
    txtRecNum->setAccessibleDescription(QStringLiteral("How many records have been written to the log file"));

    txtFileName->setAccessibleName(QStringLiteral("Log file"));
    txtFileName->setAccessibleDescription(QStringLiteral("The file the records are written to"));

    // On Linux a combo box is called by its text whatever its name; the
    // line edit inside it, which takes the focus, says what the text is.
    for (QWidget *address : {static_cast<QWidget *>(cboAddress), static_cast<QWidget *>(cboAddress->lineEdit())}) {
        address->setAccessibleName(QStringLiteral("Address"));
        address->setAccessibleDescription(QStringLiteral("The gateway page of the sensor being read"));
    }
    cboAddress->view()->setAccessibleName(QStringLiteral("Addresses read"));

    if (QWidget *page = brwWebBrowser->focusProxy()) {
        page->setAccessibleName(QStringLiteral("Page"));
        page->setAccessibleDescription(QStringLiteral("The gateway's page for the sensor read last"));
    }

    btnFileWrite->setAccessibleDescription(
        QStringLiteral("Starts writing the readings to a log file of your choice, or stops writing them"));
    btnStop->setAccessibleDescription(QStringLiteral("Closes the log file and ends the program"));
}

void frmMain::placeBars()
{
    // Only the bars follow the client area's width; nothing else moves.
    const int width = m_client->width();
    tbToolBar->setGeometry(0, 0, width, Twips::y(this, 336));
    const int barHeight = Twips::y(this, 276);
    sbStatusBar->setGeometry(0, m_client->height() - barHeight, width, barHeight);
    tbToolBar->raise();
    sbStatusBar->raise();
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_client && event->type() == QEvent::Resize) {
        placeBars();
    } else if (event->type() == QEvent::ShortcutOverride) {
        const QKeySequence pressed(static_cast<QKeyEvent *>(event)->keyCombination());
        // Left unaccepted, the key goes to the window's shortcuts instead of
        // the field's own copy, cut and paste.
        if (m_shortcuts.contains(pressed))
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::Show()
{
    // The cycle shows the window with its first read.
    Form_Load();
}

void frmMain::Form_Load()
{
    m_loggingFlag = 0;
    m_recordCounter = 1;
    m_cycle.run();
}

// Painting is paced here, not by what the cycle does: every change marks
// its widget dirty (the three per-read texts when their frame comes, see
// showPaced), and the repaint manager asks the window for a frame with one
// UpdateRequest. A request that comes sooner than a frame interval after the
// last frame is held back and asked again when the interval is over; the
// dirty regions add up meanwhile, so the frame that is painted shows
// everything that changed, and nothing is lost.
bool frmMain::event(QEvent *event)
{
    if (event->type() == QEvent::UpdateRequest) {
        const qint64 since = m_lastFrame.isValid() ? m_lastFrame.elapsed() : FrameIntervalMs;
        if (since < FrameIntervalMs) {
            armFrameTimer(FrameIntervalMs - since);
            return true;
        }
        m_lastFrame.start();
        ++m_framesPainted;
    }
    return QMainWindow::event(event);
}

void frmMain::armFrameTimer(qint64 ms)
{
    // One timer serves the frame and every held text: it runs to whichever
    // is due first.
    if (!m_frameTimer->isActive() || m_frameTimer->remainingTime() > ms)
        m_frameTimer->start(int(ms));
}

void frmMain::requestFrame()
{
    showPendingTexts();
    // Posted, not sent: the frame is painted once the cycle has shown the
    // read that just completed, never between its page and its number.
    QCoreApplication::postEvent(this, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
}

void frmMain::showPaced(PacedField field, const QString &text)
{
    m_paced[field].text = text;
    m_paced[field].pending = true;
    showPendingTexts();
}

// A field takes a new text at most once a frame interval, each by its own
// clock: neither its layout nor anyone who follows its changes, such as a
// screen reader, has to keep up with more than the screen can show. A text
// held back goes in as soon as its field's interval is over.
void frmMain::showPendingTexts()
{
    std::optional<qint64> nextDue;
    for (int field = 0; field < PacedFieldCount; ++field) {
        const PacedText &paced = m_paced[field];
        if (!paced.pending)
            continue;
        const qint64 since = paced.lastShown.isValid() ? paced.lastShown.elapsed() : FrameIntervalMs;
        if (since >= FrameIntervalMs)
            applyPaced(PacedField(field));
        else
            nextDue = std::min(nextDue.value_or(FrameIntervalMs), FrameIntervalMs - since);
    }
    if (nextDue)
        armFrameTimer(*nextDue);
}

void frmMain::applyPaced(PacedField field)
{
    PacedText &paced = m_paced[field];
    paced.pending = false;
    paced.lastShown.start();
    switch (field) {
    case AddressField:
        cboAddress->setEditText(paced.text);
        break;
    case NumberField:
        txtSensorNum->setText(paced.text);
        break;
    case TemperatureField:
        txtTemperature->setText(paced.text);
        break;
    case PacedFieldCount:
        break;
    }
}

} // namespace kestrin
