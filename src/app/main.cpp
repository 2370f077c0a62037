// Start-up: the real platform services, the main window, and the reference
// to it that lives as long as the program.

#include "appinfo.h"
#include "builtsite.h"
#include "commondialog.h"
#include "frmmain.h"
#include "helpviewer.h"
#include "messagebox.h"
#include "registry.h"
#include "settingsstore.h"
#include "systemservices.h"
#include "terminationwatcher.h"
#include "windowframe.h"

#include <QApplication>
#include <QDialog>

#include <cstdio>
#include <cstdlib>

namespace kestrin {

frmMain *mainFormRef = nullptr;

namespace {

// The program ends here, from inside the polling cycle, without unwinding
// back through the event loop: everything that must reach the disk has been
// closed or synced before this is called.
[[noreturn]] void endProcess()
{
    std::fflush(nullptr);
    std::_Exit(EXIT_SUCCESS);
}

// A termination request is a close from the window system: open dialogs are
// dismissed, then the main window closes as if its close box was pressed.
void closeOnTermination()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (auto *dialog = qobject_cast<QDialog *>(window); dialog && dialog->isVisible())
            dialog->reject();
    }
    if (mainFormRef)
        mainFormRef->close();
}

} // namespace

void Main(const MainWindowServices &services)
{
    mainFormRef = new frmMain(services);
    mainFormRef->Show(); // does not return while the program runs
}

} // namespace kestrin

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(kestrin::appinfo::title());
    QApplication::setApplicationName(kestrin::appinfo::title());
    // The program ends through endProcess, never by the last window closing.
    QApplication::setQuitOnLastWindowClosed(false);

    kestrin::QtMessageBoxService messageBox;
    kestrin::QtCommonDialog commonDialog;
    kestrin::QtSettingsStore settings;
    const std::unique_ptr<kestrin::HelpViewer> helpViewer = kestrin::makePlatformHelpViewer();
    const std::unique_ptr<kestrin::Registry> registry = kestrin::makePlatformRegistry();
    kestrin::PlatformSystemServices system;
    kestrin::PlatformWindowFrame windowFrame;

    kestrin::TerminationWatcher termination;
    QObject::connect(&termination, &kestrin::TerminationWatcher::terminationRequested, &app,
                     [](int) { kestrin::closeOnTermination(); });

    kestrin::Main(kestrin::MainWindowServices{
        .messageBox = messageBox,
        .commonDialog = commonDialog,
        .settings = settings,
        .helpViewer = *helpViewer,
        .registry = *registry,
        .system = system,
        .windowFrame = windowFrame,
        .endProcess = kestrin::endProcess,
        .gatewayHost = kestrin::BuiltSite::gatewayHost(),
        .romIds = kestrin::BuiltSite::romIds(),
        .sensorCount = kestrin::BuiltSite::sensorCount(),
    });
    return EXIT_SUCCESS;
}
