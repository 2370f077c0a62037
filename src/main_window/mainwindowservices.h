#pragma once

#include "sensortable.h"
#include "webbrowser.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <vector>

namespace kestrin {

class CommonDialog;
class HelpViewer;
class MessageBoxService;
class Registry;
class SettingsStore;
class SystemServices;
class WindowFrame;

// The platform services the main window works through, handed in at
// construction: the real ones from start-up, scripted ones from a test.
struct MainWindowServices
{
    MessageBoxService &messageBox;
    CommonDialog &commonDialog;
    SettingsStore &settings;
    HelpViewer &helpViewer;
    Registry &registry;
    SystemServices &system;
    // Where the window system has the main window's outer frame.
    WindowFrame &windowFrame;
    // Ends the process at once; the program's last act.
    std::function<void()> endProcess;
    // The local date and time, for records and the status bar.
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };
    WebBrowser::Options browserOptions = {};
    // The gateway every sensor URL names, the ROM ids of the table's slots
    // in order, and how many of them a pass reads: the built-in table unless
    // start-up hands in the site the program was built for.
    QString gatewayHost = SensorTable::builtInHost();
    std::vector<QString> romIds = SensorTable::builtInRomIds();
    qint16 sensorCount = SensorTable::DefaultSensorCount;
    // The application's help file; this program ships none.
    QString helpFile = {};
};

} // namespace kestrin
