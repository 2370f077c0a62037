// The menu and toolbar commands of the real main window: the notices they
// show, the View toggles, Help, File > Open / Page Setup / Exit, the About
// box, and how a box left open holds the polling cycle.

#include "fakeservices.h"
#include "readhook.h"
#include "logfiles.h"
#include "frmmain.h"
#include "gatewaysimulator.h"
#include "toolbar.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace kestrin;
using namespace kestrin::testing;

namespace {

const QString helpMissing =
    QStringLiteral("Unable to display Help Contents. There is no Help associated with this project.");

// A help viewer that keeps every argument it was handed.
class CapturingHelpViewer final : public HelpViewer
{
public:
    struct Call
    {
        quintptr window;
        QByteArray file;
        quint32 command;
        bool emptyKeyword;
    };
    std::optional<QString> failure;
    QList<Call> calls;

    std::optional<QString> WinHelp(quintptr window, const QByteArray &file, quint32 command,
                                   const void *data) override
    {
        if (failure)
            return failure;
        calls.append({window, file, command, data && *static_cast<const quint16 *>(data) == 0});
        return std::nullopt;
    }
};

} // namespace

class FrmMainCommandsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void menuItems_data();
    void menuItems();
    void toolbarKeys_data();
    void toolbarKeys();
    void foreignKeysDoNothing_data();
    void foreignKeysDoNothing();
    void toolbarNewIsNotFileNew();
    void viewToggles_data();
    void viewToggles();
    void helpWithConfiguredFile_data();
    void helpWithConfiguredFile();
    void fileOpenThenStartLogging_data();
    void fileOpenThenStartLogging();
    void pageSetupThenCancelledStartLogging_data();
    void pageSetupThenCancelledStartLogging();
    void exitUnloadsButLeavesTheLogOpen();
    void exitWhileRunningEndsTheProgram();
    void aboutIsModalOwnedAndLoadedAnew();
    void openBoxHoldsTheCycle_data();
    void openBoxHoldsTheCycle();

private:
    std::unique_ptr<frmMain> makeWindow();
    ToolBar *toolBar(frmMain &w) { return w.findChild<ToolBar *>(QStringLiteral("tbToolBar")); }
    QWidget *statusBar(frmMain &w) { return w.findChild<QWidget *>(QStringLiteral("sbStatusBar")); }
    QLineEdit *field(frmMain &w, const char *name) { return w.findChild<QLineEdit *>(QString::fromLatin1(name)); }
    QPushButton *button(frmMain &w, const char *name)
    {
        return w.findChild<QPushButton *>(QString::fromLatin1(name));
    }
    // Nothing but the boxes counted so far has happened.
    void verifyNoOtherEffect(frmMain &w);

    std::unique_ptr<FakeServices> m_fakes;
    QTemporaryDir m_dir;
};

void FrmMainCommandsTest::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QVERIFY(m_dir.isValid());
}

void FrmMainCommandsTest::init()
{
    m_fakes = std::make_unique<FakeServices>();
}

void FrmMainCommandsTest::cleanup()
{
    m_fakes.reset();
}

std::unique_ptr<frmMain> FrmMainCommandsTest::makeWindow()
{
    // No cycle runs in most of these tests, so nothing is ever asked of this host.
    return std::make_unique<frmMain>(m_fakes->services(QStringLiteral("127.0.0.1:9")));
}

void FrmMainCommandsTest::verifyNoOtherEffect(frmMain &w)
{
    QCOMPARE(m_fakes->dialog.opens.size(), 0);
    QCOMPARE(m_fakes->dialog.printerShown, 0);
    QCOMPARE(m_fakes->help.commands.size(), 0);
    QCOMPARE(m_fakes->ends, 0);
    QVERIFY(!w.isUnloaded());
    QCOMPARE(w.loggingFlag(), qint16(0));
    QCOMPARE(w.openWindows().count(), 1);
}

void FrmMainCommandsTest::menuItems_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<int>("boxes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("caption");

    const char *placeholders[] = {
        "mnuFileNew",   "mnuFileClose",        "mnuFileSave",   "mnuFileSaveAs",  "mnuFileSaveAll",
        "mnuFileProperties", "mnuFilePrintPreview", "mnuFilePrint", "mnuFileSend", "mnuEditUndo",
        "mnuEditCut",   "mnuEditCopy",         "mnuEditPaste",  "mnuEditPasteSpecial", "mnuViewRefresh",
        "mnuViewOptions",
    };
    for (const char *name : placeholders) {
        const QString item = QString::fromLatin1(name);
        QTest::newRow(name) << item << 1 << QStringLiteral("Add '%1_Click' code.").arg(item) << mb::OK << QString();
    }
    // The empty help file setting: the same information box for both, with
    // the window's caption.
    QTest::newRow("mnuHelpContents") << QStringLiteral("mnuHelpContents") << 1 << helpMissing
                                     << mb::IconInformation << QStringLiteral("Project1");
    QTest::newRow("mnuHelpSearchForHelpOn") << QStringLiteral("mnuHelpSearchForHelpOn") << 1 << helpMissing
                                            << mb::IconInformation << QStringLiteral("Project1");
    // Items without a command.
    for (const char *name : {"mnuViewWebBrowser", "mnuFileMRU1", "mnuFileMRU2", "mnuFileMRU3"})
        QTest::newRow(name) << QString::fromLatin1(name) << 0 << QString() << 0 << QString();
}

void FrmMainCommandsTest::menuItems()
{
    QFETCH(QString, item);
    QFETCH(int, boxes);
    QFETCH(QString, text);
    QFETCH(int, style);
    QFETCH(QString, caption);

    auto window = makeWindow();
    QAction *action = window->menuItem(item);
    QVERIFY(action);
    const QString before = field(*window, "txtSensorNum")->text() + field(*window, "txtFileName")->text();
    action->trigger();

    QCOMPARE(m_fakes->messageBox.shown.size(), boxes);
    if (boxes == 1) {
        const ShownBox &box = m_fakes->messageBox.shown.constFirst();
        QCOMPARE(box.prompt, text);
        QCOMPARE(box.style, style);
        QCOMPARE(box.caption, caption);
    }
    verifyNoOtherEffect(*window);
    QCOMPARE(field(*window, "txtSensorNum")->text() + field(*window, "txtFileName")->text(), before);
    QCOMPARE(window->windowTitle(), QStringLiteral("Project1"));

    // The same again: a placeholder keeps no state between uses.
    action->trigger();
    QCOMPARE(m_fakes->messageBox.shown.size(), 2 * boxes);
    if (boxes == 1)
        QCOMPARE(m_fakes->messageBox.shown.constLast().prompt, text);
}

void FrmMainCommandsTest::toolbarKeys_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text"); // empty: the Open dialog instead of a box

    QTest::newRow("New") << QStringLiteral("New") << QStringLiteral("Add 'New' button code.");
    QTest::newRow("Open") << QStringLiteral("Open") << QString();
    QTest::newRow("Save") << QStringLiteral("Save") << QStringLiteral("Add 'mnuFileSave_Click' code.");
    QTest::newRow("Print") << QStringLiteral("Print") << QStringLiteral("Add 'mnuFilePrint_Click' code.");
    QTest::newRow("Cut") << QStringLiteral("Cut") << QStringLiteral("Add 'mnuEditCut_Click' code.");
    QTest::newRow("Copy") << QStringLiteral("Copy") << QStringLiteral("Add 'mnuEditCopy_Click' code.");
    QTest::newRow("Paste") << QStringLiteral("Paste") << QStringLiteral("Add 'mnuEditPaste_Click' code.");
    for (const char *key : {"Bold", "Italic", "Underline", "Align Left", "Center", "Align Right"})
        QTest::newRow(key) << QString::fromLatin1(key) << QStringLiteral("Add '%1' button code.").arg(QLatin1String(key));
}

void FrmMainCommandsTest::toolbarKeys()
{
    QFETCH(QString, key);
    QFETCH(QString, text);

    auto window = makeWindow();
    QAction *action = toolBar(*window)->button(key);
    QVERIFY(action);
    action->trigger();

    if (text.isEmpty()) {
        QCOMPARE(m_fakes->messageBox.shown.size(), 0);
        QCOMPARE(m_fakes->dialog.opens.size(), 1);
        QCOMPARE(m_fakes->dialog.opens.constFirst().title, QStringLiteral("Open"));
        QCOMPARE(m_fakes->dialog.opens.constFirst().filters, QStringList{QStringLiteral("All Files (*.*) (*)")});
        return;
    }
    QCOMPARE(m_fakes->messageBox.shown.size(), 1);
    const ShownBox &box = m_fakes->messageBox.shown.constFirst();
    QCOMPARE(box.prompt, text);
    QCOMPARE(box.style, mb::OK);
    QCOMPARE(box.caption, QString());
    verifyNoOtherEffect(*window);
}

void FrmMainCommandsTest::foreignKeysDoNothing_data()
{
    QTest::addColumn<QString>("key");
    QTest::newRow("new") << QStringLiteral("new");
    QTest::newRow("NEW") << QStringLiteral("NEW");
    QTest::newRow("open") << QStringLiteral("open");
    QTest::newRow("align left") << QStringLiteral("align left");
    QTest::newRow("AlignLeft") << QStringLiteral("AlignLeft");
    QTest::newRow("leading space") << QStringLiteral(" New");
    QTest::newRow("trailing space") << QStringLiteral("Save ");
    QTest::newRow("prefix only") << QStringLiteral("Align");
    QTest::newRow("empty") << QString();
    QTest::newRow("menu name") << QStringLiteral("mnuFileNew");
}

void FrmMainCommandsTest::foreignKeysDoNothing()
{
    QFETCH(QString, key);
    auto window = makeWindow();
    QAction foreign;
    foreign.setData(key);
    window->tbToolBar_ButtonClick(&foreign);
    window->tbToolBar_ButtonClick(nullptr); // a button whose key cannot be read
    QCOMPARE(m_fakes->messageBox.shown.size(), 0);
    verifyNoOtherEffect(*window);
}

void FrmMainCommandsTest::toolbarNewIsNotFileNew()
{
    auto window = makeWindow();
    toolBar(*window)->button(QStringLiteral("New"))->trigger();
    window->menuItem(QStringLiteral("mnuFileNew"))->trigger();
    QAction sameKey;
    sameKey.setData(QStringLiteral("New")); // the key alone decides, not which bar it is on
    window->tbToolBar_ButtonClick(&sameKey);

    QCOMPARE(m_fakes->messageBox.shown.size(), 3);
    QCOMPARE(m_fakes->messageBox.shown.at(0).prompt, QStringLiteral("Add 'New' button code."));
    QCOMPARE(m_fakes->messageBox.shown.at(1).prompt, QStringLiteral("Add 'mnuFileNew_Click' code."));
    QCOMPARE(m_fakes->messageBox.shown.at(2).prompt, QStringLiteral("Add 'New' button code."));
}

void FrmMainCommandsTest::viewToggles_data()
{
    // T = View > Toolbar, S = View > Status Bar, in the order chosen.
    QTest::addColumn<QString>("steps");
    QTest::newRow("toolbar twice") << QStringLiteral("TT");
    QTest::newRow("status bar twice") << QStringLiteral("SS");
    QTest::newRow("both off, both on") << QStringLiteral("TSST");
    QTest::newRow("interleaved") << QStringLiteral("STTSTS");
}

void FrmMainCommandsTest::viewToggles()
{
    QFETCH(QString, steps);
    auto window = makeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));

    QAction *toolbarItem = window->menuItem(QStringLiteral("mnuViewToolbar"));
    QAction *statusItem = window->menuItem(QStringLiteral("mnuViewStatusBar"));
    QWidget *bar = toolBar(*window);
    QWidget *status = statusBar(*window);
    QVERIFY(toolbarItem->isChecked() && statusItem->isChecked());
    QVERIFY(bar->isVisible() && status->isVisible());

    QHash<QWidget *, QRect> places;
    for (QWidget *child : window->clientArea()->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        places.insert(child, child->geometry());
    const QSize windowSize = window->size();

    bool toolbarShown = true;
    bool statusShown = true;
    for (const QChar step : steps) {
        if (step == u'T') {
            toolbarItem->trigger();
            toolbarShown = !toolbarShown;
        } else {
            statusItem->trigger();
            statusShown = !statusShown;
        }
        QCOMPARE(toolbarItem->isChecked(), toolbarShown);
        QCOMPARE(bar->isVisible(), toolbarShown);
        QCOMPARE(statusItem->isChecked(), statusShown);
        QCOMPARE(status->isVisible(), statusShown);
        QCOMPARE(window->size(), windowSize);
        for (auto it = places.cbegin(); it != places.cend(); ++it)
            QVERIFY2(it.key()->geometry() == it.value(), qPrintable(it.key()->objectName()));
    }
    QCOMPARE(m_fakes->messageBox.shown.size(), 0);
}

void FrmMainCommandsTest::helpWithConfiguredFile_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<quint32>("command");
    QTest::addColumn<QString>("failure");

    QTest::newRow("contents") << QStringLiteral("mnuHelpContents") << quint32(3) << QString();
    QTest::newRow("search") << QStringLiteral("mnuHelpSearchForHelpOn") << quint32(261) << QString();
    QTest::newRow("contents, viewer unreachable")
        << QStringLiteral("mnuHelpContents") << quint32(3) << QStringLiteral("File not found: winhlp32.exe");
    QTest::newRow("search, viewer unreachable")
        << QStringLiteral("mnuHelpSearchForHelpOn") << quint32(261) << QStringLiteral("Help is broken");
}

void FrmMainCommandsTest::helpWithConfiguredFile()
{
    QFETCH(QString, item);
    QFETCH(quint32, command);
    QFETCH(QString, failure);

    CapturingHelpViewer viewer;
    if (!failure.isEmpty())
        viewer.failure = failure;
    const QString path = m_dir.filePath(QStringLiteral("Kestrin Hilfe-ä.hlp"));
    MainWindowServices services = m_fakes->services(QStringLiteral("127.0.0.1:9"));
    MainWindowServices withHelp{
        .messageBox = services.messageBox,
        .commonDialog = services.commonDialog,
        .settings = services.settings,
        .helpViewer = viewer,
        .registry = services.registry,
        .system = services.system,
        .windowFrame = services.windowFrame,
        .endProcess = services.endProcess,
        .clock = services.clock,
        .browserOptions = services.browserOptions,
        .gatewayHost = services.gatewayHost,
        .helpFile = path,
    };
    auto window = std::make_unique<frmMain>(withHelp);
    window->menuItem(item)->trigger();

    if (failure.isEmpty()) {
        QCOMPARE(m_fakes->messageBox.shown.size(), 0);
        QCOMPARE(viewer.calls.size(), 1);
        const CapturingHelpViewer::Call &call = viewer.calls.constFirst();
        QCOMPARE(call.command, command);
        QCOMPARE(call.file, path.toLocal8Bit());
        QCOMPARE(call.window, quintptr(window->winId()));
        QVERIFY(call.emptyKeyword);
    } else {
        QCOMPARE(m_fakes->messageBox.shown.size(), 1);
        const ShownBox &box = m_fakes->messageBox.shown.constFirst();
        QCOMPARE(box.prompt, failure);
        QCOMPARE(box.style, mb::OK);
        QCOMPARE(box.caption, QString());
    }
}

void FrmMainCommandsTest::fileOpenThenStartLogging_data()
{
    QTest::addColumn<bool>("viaToolbar");
    QTest::addColumn<bool>("pick");
    QTest::addColumn<bool>("startConfirmed");

    QTest::newRow("cancelled, then start") << false << false << true;
    QTest::newRow("picked, then start") << false << true << true;
    QTest::newRow("picked, then start cancelled") << false << true << false;
    QTest::newRow("toolbar, picked, then start") << true << true << true;
    QTest::newRow("toolbar, picked, then start cancelled") << true << true << false;
}

void FrmMainCommandsTest::fileOpenThenStartLogging()
{
    QFETCH(bool, viaToolbar);
    QFETCH(bool, pick);
    QFETCH(bool, startConfirmed);

    const QString picked = m_dir.filePath(QStringLiteral("picked-%1.txt").arg(QString::fromLatin1(QTest::currentDataTag())));
    auto window = makeWindow();
    ScriptedDialog &dialog = m_fakes->dialog;
    dialog.FileName = QStringLiteral("earlier.txt");
    dialog.answers = {pick ? std::optional<QString>(picked) : std::nullopt};
    if (viaToolbar)
        toolBar(*window)->button(QStringLiteral("Open"))->trigger();
    else
        window->menuItem(QStringLiteral("mnuFileOpen"))->trigger();

    QCOMPARE(dialog.opens.size(), 1);
    QCOMPARE(dialog.opens.at(0).title, QStringLiteral("Open"));
    QCOMPARE(dialog.opens.at(0).filters, QStringList{QStringLiteral("All Files (*.*) (*)")});
    QCOMPARE(dialog.opens.at(0).fileName, QStringLiteral("earlier.txt"));
    QCOMPARE(dialog.Filter, QStringLiteral("All Files (*.*)|*.*"));
    // Nothing is done with the answer: no box, no file, no logging.
    QCOMPARE(m_fakes->messageBox.shown.size(), 0);
    QVERIFY(!QFileInfo::exists(picked));
    QCOMPARE(window->loggingFlag(), qint16(0));
    QCOMPARE(field(*window, "txtFileName")->text(), QString());

    const QString offered = pick ? picked : QStringLiteral("earlier.txt");
    const QString chosen = m_dir.filePath(QStringLiteral("log-%1.txt").arg(QString::fromLatin1(QTest::currentDataTag())));
    dialog.answers = {startConfirmed ? std::optional<QString>(chosen) : std::nullopt};
    window->btnFileWrite_Click();

    QCOMPARE(dialog.opens.size(), 2);
    QCOMPARE(dialog.opens.at(1).fileName, offered);
    QCOMPARE(dialog.opens.at(1).title, QStringLiteral("Open")); // left by File > Open
    QCOMPARE(dialog.opens.at(1).filters, QStringList{QStringLiteral("all Files (*)")});
    QCOMPARE(m_fakes->messageBox.shown.size(), 0);
    if (startConfirmed) {
        QCOMPARE(window->loggingFlag(), qint16(-1));
        QCOMPARE(field(*window, "txtFileName")->text(), chosen);
        QVERIFY(QFileInfo::exists(chosen));
    } else {
        // Cancel means no, even with a name in the dialog from File > Open.
        QCOMPARE(window->loggingFlag(), qint16(0));
        QCOMPARE(button(*window, "btnFileWrite")->text(), QStringLiteral("Start Logging"));
        QCOMPARE(field(*window, "txtFileName")->text(), QString());
        QVERIFY(!QFileInfo::exists(picked));
    }
}

void FrmMainCommandsTest::pageSetupThenCancelledStartLogging_data()
{
    QTest::addColumn<bool>("printerConfirms");
    QTest::newRow("page setup cancelled") << false;
    QTest::newRow("page setup confirmed") << true;
}

void FrmMainCommandsTest::pageSetupThenCancelledStartLogging()
{
    QFETCH(bool, printerConfirms);
    auto window = makeWindow();
    ScriptedDialog &dialog = m_fakes->dialog;
    dialog.printerConfirms = printerConfirms;
    window->menuItem(QStringLiteral("mnuFilePageSetup"))->trigger();

    QCOMPARE(dialog.printerShown, 1);
    QCOMPARE(dialog.DialogTitle, QStringLiteral("Page Setup"));
    QCOMPARE(dialog.opens.size(), 0);
    QCOMPARE(m_fakes->messageBox.shown.size(), 0);

    dialog.answers = {std::nullopt};
    window->btnFileWrite_Click();
    QCOMPARE(dialog.opens.size(), 1);
    QCOMPARE(dialog.opens.at(0).title, QStringLiteral("Page Setup"));
    QCOMPARE(window->loggingFlag(), qint16(0));
    QCOMPARE(button(*window, "btnFileWrite")->text(), QStringLiteral("Start Logging"));
    QCOMPARE(m_fakes->messageBox.shown.size(), 0);
    QCOMPARE(m_fakes->ends, 0);
    QVERIFY(!window->isUnloaded());
    QVERIFY(!window->hasEnded());
}

void FrmMainCommandsTest::exitUnloadsButLeavesTheLogOpen()
{
    const QString path = m_dir.filePath(QStringLiteral("exit.txt"));
    auto window = makeWindow();
    window->show();
    m_fakes->dialog.answers = {path};
    window->btnFileWrite_Click();
    QCOMPARE(window->loggingFlag(), qint16(-1));
    QVERIFY(heldOpen(path));

    window->menuItem(QStringLiteral("mnuFileExit"))->trigger();
    QVERIFY(window->isUnloaded());
    QVERIFY(!window->isVisible());
    QCOMPARE(m_fakes->settings.writes.size(), 4); // the close sequence ran
    // The command itself neither closes the log nor ends the program.
    QVERIFY(heldOpen(path));
    QCOMPARE(window->loggingFlag(), qint16(-1));
    QCOMPARE(m_fakes->ends, 0);
    QCOMPARE(m_fakes->messageBox.shown.size(), 0);
}

void FrmMainCommandsTest::exitWhileRunningEndsTheProgram()
{
    sim::SimulatorOptions options;
    options.conversionMs = 0;
    sim::GatewaySimulator gateway(options);
    QVERIFY(gateway.start());
    auto window = std::make_unique<frmMain>(m_fakes->services(QStringLiteral("127.0.0.1:%1").arg(gateway.port())));

    QTimer::singleShot(300, window.get(), [&] { window->menuItem(QStringLiteral("mnuFileExit"))->trigger(); });
    window->Show(); // returns only because the fake end of the process does
    QVERIFY(window->isUnloaded());
    QCOMPARE(m_fakes->ends, 1);
    QCOMPARE(m_fakes->settings.writes.size(), 4);
    QVERIFY(gateway.requestCount() > 0);
    // The read that was in flight may still reach the gateway; no new one may follow.
    QTest::qWait(200);
    const std::size_t requests = gateway.requestCount();
    QTest::qWait(300);
    QCOMPARE(gateway.requestCount(), requests);
}

void FrmMainCommandsTest::aboutIsModalOwnedAndLoadedAnew()
{
    struct Opening
    {
        QPointer<QWidget> dialog;
        QWidget *parent = nullptr;
        bool modal = false;
        QString caption, title, version, description;
        qsizetype registered = 0;
        bool registeredLast = false;
    };
    auto window = makeWindow();
    window->show();

    QList<Opening> openings;
    auto inspect = [&] {
        Opening seen;
        QWidget *about = qApp->activeModalWidget();
        if (about && about->objectName() == QLatin1String("frmAbout")) {
            auto label = [about](const char *name) {
                return about->findChild<QLabel *>(QString::fromLatin1(name));
            };
            seen.dialog = about;
            seen.parent = about->parentWidget();
            seen.modal = about->isModal();
            seen.caption = about->windowTitle();
            seen.title = label("lblTitle")->text();
            seen.version = label("lblVersion")->text();
            seen.description = label("lblDescription")->text();
            seen.registered = window->openWindows().count();
            seen.registeredLast = window->openWindows().at(window->openWindows().count() - 1) == about;
            // Scribble on it; the next opening must not see any of this.
            label("lblTitle")->setText(QStringLiteral("scribbled"));
            label("lblDescription")->setText(QStringLiteral("scribbled"));
            about->findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
        }
        openings.append(seen);
    };

    for (int i = 0; i < 2; ++i) {
        QTimer::singleShot(0, window.get(), inspect);
        window->menuItem(QStringLiteral("mnuHelpAbout"))->trigger();
        // The command returns only once the dialog has closed.
        QCOMPARE(openings.size(), i + 1);
        const Opening &seen = openings.constLast();
        QVERIFY2(seen.parent, "no About dialog was open while the command ran");
        QCOMPARE(seen.parent, window.get());
        QVERIFY(seen.modal);
        QCOMPARE(seen.caption, QStringLiteral("About Project1"));
        QCOMPARE(seen.title, QStringLiteral("Kestrin-3"));
        QCOMPARE(seen.version, QStringLiteral("Version 1.0.0"));
        QCOMPARE(seen.description, QStringLiteral("App Description"));
        QCOMPARE(seen.registered, qsizetype(2));
        QVERIFY(seen.registeredLast);
        QVERIFY(seen.dialog.isNull()); // unloaded, nothing of it survives
        QCOMPARE(window->openWindows().count(), qsizetype(1));
    }
    QCOMPARE(m_fakes->messageBox.shown.size(), 0);
    QVERIFY(!window->isUnloaded());
}

void FrmMainCommandsTest::openBoxHoldsTheCycle_data()
{
    QTest::addColumn<QString>("command"); // menu item, "tb:" toolbar key, or "about"
    QTest::newRow("menu notice") << QStringLiteral("mnuEditUndo");
    QTest::newRow("toolbar notice") << QStringLiteral("tb:Italic");
    QTest::newRow("help box") << QStringLiteral("mnuHelpContents");
    QTest::newRow("about dialog") << QStringLiteral("about");
}

void FrmMainCommandsTest::openBoxHoldsTheCycle()
{
    QFETCH(QString, command);

    sim::SimulatorOptions options;
    options.conversionMs = 50;
    sim::GatewaySimulator gateway(options);
    QVERIFY(gateway.start());
    auto window = std::make_unique<frmMain>(m_fakes->services(QStringLiteral("127.0.0.1:%1").arg(gateway.port())));
    window->cycle().prepare();
    QVERIFY(window->cycle().readSlot(0)); // the window is shown from here on

    const QString path = m_dir.filePath(QStringLiteral("hold-%1.txt").arg(QString::fromLatin1(QTest::currentDataTag())));
    m_fakes->dialog.answers = {path};
    window->btnFileWrite_Click();
    QCOMPARE(window->loggingFlag(), qint16(-1));
    QVERIFY(window->cycle().runPass(11));
    QCOMPARE(records(path).size(), 1);

    auto *browser = window->findChild<WebBrowser *>(QStringLiteral("brwWebBrowser"));
    QLineEdit *sensorNum = field(*window, "txtSensorNum");
    QLineEdit *recNum = field(*window, "txtRecNum");

    struct Hold
    {
        bool ran = false;
        QString numberAtStart;
        std::size_t newRequests = 0;
        bool numberStill = false, temperatureStill = false, recordsStill = false, counterStill = false;
        int readyStateAtEnd = 0;
    } hold;
    // The user's time in front of the box: first the read in flight finishes,
    // then a second during which nothing may move.
    auto sitInFront = [&] {
        QTest::qWait(300);
        hold.numberAtStart = sensorNum->text();
        const std::size_t requests = gateway.requestCount();
        const QString temperature = field(*window, "txtTemperature")->text();
        const QString counter = recNum->text();
        const qsizetype lines = records(path).size();
        QTest::qWait(1000);
        hold.newRequests = gateway.requestCount() - requests;
        hold.numberStill = sensorNum->text() == hold.numberAtStart;
        hold.temperatureStill = field(*window, "txtTemperature")->text() == temperature;
        hold.recordsStill = records(path).size() == lines && recNum->text() == counter;
        hold.counterStill = window->recordCounter() == 2;
        hold.readyStateAtEnd = browser->ReadyState();
        hold.ran = true;
    };
    m_fakes->messageBox.whileOpen = [&](const ShownBox &) { sitInFront(); };

    auto runCommand = [&] {
        if (command == QLatin1String("about")) {
            QTimer::singleShot(0, window.get(), [&] {
                sitInFront();
                if (QWidget *about = qApp->activeModalWidget())
                    if (auto *ok = about->findChild<QPushButton *>(QStringLiteral("cmdOK")))
                        ok->click();
            });
            window->menuItem(QStringLiteral("mnuHelpAbout"))->trigger();
        } else if (command.startsWith(QLatin1String("tb:"))) {
            toolBar(*window)->button(command.mid(3))->trigger();
        } else {
            window->menuItem(command)->trigger();
        }
    };

    // Chosen while the fourth sensor's page is on its way: the cycle shows
    // the address, then asks for the page.
    const QString fourth = window->cycle().table().url(3).value();
    bool fired = false;
    onReadStarting(*window, [&](int slot) {
        if (!fired && slot == 3) {
            fired = true;
            QTimer::singleShot(10, window.get(), runCommand);
        }
    });

    const std::size_t before = gateway.requestCount();
    QVERIFY(window->cycle().runPass(11));
    QVERIFY(fired);
    QVERIFY(hold.ran);
    QCOMPARE(hold.numberAtStart, QStringLiteral("3"));
    QCOMPARE(hold.newRequests, std::size_t(0));
    QVERIFY(hold.numberStill);
    QVERIFY(hold.temperatureStill);
    QVERIFY(hold.recordsStill);
    QVERIFY(hold.counterStill);
    QCOMPARE(hold.readyStateAtEnd, 4); // the page in flight finished meanwhile

    // After OK the pass went on from the fourth sensor to its end.
    QCOMPARE(gateway.requestCount() - before, std::size_t(11));
    QCOMPARE(sensorNum->text(), QStringLiteral("11"));
    QCOMPARE(records(path).size(), 2);
    QCOMPARE(recNum->text(), QStringLiteral("2"));
}

QTEST_MAIN(FrmMainCommandsTest)
#include "frmmain_commands_test.moc"
