#pragma once

// Scripted platform services for tests of the windows: a message box that
// records what it was asked to show, a file dialog with queued answers, a
// settings store in memory, and so on.

#include "commondialog.h"
#include "helpviewer.h"
#include "mainwindowservices.h"
#include "messagebox.h"
#include "registry.h"
#include "settingsstore.h"
#include "systemservices.h"
#include "windowframe.h"

#include <QList>
#include <QMap>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <optional>

namespace kestrin::testing {

struct ShownBox
{
    QString prompt;
    int style;
    QString caption;
};

class RecordingMessageBox final : public MessageBoxService
{
public:
    QList<ShownBox> shown;
    // Runs while the box is "open", as a user's time in front of it.
    std::function<void(const ShownBox &)> whileOpen;

    void MsgBox(QWidget *, const QString &prompt, int style, const QString &caption) override
    {
        shown.append({prompt, style, caption});
        if (whileOpen)
            whileOpen(shown.constLast());
    }
};

class ScriptedDialog final : public CommonDialog
{
public:
    struct Seen
    {
        QString title;
        QStringList filters;
        QString fileName;
    };
    // One answer per ShowOpen: a path, or nullopt for Cancel. Cancel when none is left.
    QList<std::optional<QString>> answers;
    QList<Seen> opens;
    int printerShown = 0;
    bool printerConfirms = false;

protected:
    std::optional<QString> runOpenDialog(QWidget *, const QString &title, const QStringList &filters,
                                         const QString &fileName) override
    {
        opens.append({title, filters, fileName});
        return answers.isEmpty() ? std::nullopt : answers.takeFirst();
    }
    bool runPrinterDialog(QWidget *, const QString &) override
    {
        ++printerShown;
        return printerConfirms;
    }
};

class MemorySettings final : public SettingsStore
{
public:
    QList<QStringList> writes; // app, section, key, value in write order
    std::optional<QString> failWith;
    int flushes = 0;

    std::optional<QString> SaveSetting(const QString &app, const QString &section, const QString &key,
                                       const QString &value) override
    {
        if (failWith)
            return failWith;
        writes.append({app, section, key, value});
        return std::nullopt;
    }
    std::optional<QString> flush() override
    {
        ++flushes;
        return std::nullopt;
    }
    QString location() const override { return QStringLiteral("memory store"); }
    QString value(const QString &key) const
    {
        for (auto it = writes.crbegin(); it != writes.crend(); ++it)
            if (it->at(2) == key)
                return it->at(3);
        return {};
    }
};

class FakeHelpViewer final : public HelpViewer
{
public:
    std::optional<QString> failure;
    QList<quint32> commands;
    QList<QByteArray> files;

    std::optional<QString> WinHelp(quintptr, const QByteArray &file, quint32 command, const void *) override
    {
        if (failure)
            return failure;
        files << file;
        commands << command;
        return std::nullopt;
    }
};

class EmptyRegistry final : public Registry
{
public:
    long RegOpenKeyExA(quint32, const QByteArray &, quint32, quint32, quint64 *) override { return 2; }
    long RegQueryValueExA(quint64, const QByteArray &, quint32 *, quint32 *, char *, quint32 *) override
    {
        return 2;
    }
    long RegCloseKey(quint64) override { return 0; }
};

class NoSystem final : public SystemServices
{
public:
    bool fileExists(const QString &) override { return false; }
    bool startProgram(const QString &, int) override { return false; }
};

// Qt's own idea of the frame: what an offscreen window has.
class QtFrame final : public WindowFrame
{
public:
    QRect outerFrame(const QWidget &window) override { return window.frameGeometry(); }
    std::optional<QMargins> frameExtents(QWidget &) override { return std::nullopt; }
};

// Everything a main window needs, scripted; endProcess only counts.
struct FakeServices
{
    RecordingMessageBox messageBox;
    ScriptedDialog dialog;
    MemorySettings settings;
    FakeHelpViewer help;
    EmptyRegistry registry;
    NoSystem system;
    QtFrame windowFrame;
    int ends = 0;
    QDateTime now = QDateTime(QDate(2026, 12, 7), QTime(10, 45, 41));

    MainWindowServices services(const QString &host, WebBrowser::Options browser = {})
    {
        MainWindowServices s{
            .messageBox = messageBox,
            .commonDialog = dialog,
            .settings = settings,
            .helpViewer = help,
            .registry = registry,
            .system = system,
            .windowFrame = windowFrame,
            .endProcess = [this] { ++ends; },
            .clock = [this] { return now; },
            .browserOptions = browser,
            .gatewayHost = host,
        };
        return s;
    }
};

} // namespace kestrin::testing
