#include "frmmain.h"

#include "commondialog.h"
#include "frmabout.h"
#include "helpviewer.h"
#include "messagebox.h"
#include "statusbar.h"
#include "toolbar.h"

#include <QAction>

#include <algorithm>
#include <iterator>

namespace kestrin {

namespace {

// What each toolbar button runs: the menu command it stands for, or, with
// none, a notice of its own.
struct ToolbarCommand
{
    const char *key; // whole key, letter case significant
    void (frmMain::*command)();
};

constexpr ToolbarCommand toolbarCommands[] = {
    {"New", nullptr},
    {"Open", &frmMain::mnuFileOpen_Click},
    {"Save", &frmMain::mnuFileSave_Click},
    {"Print", &frmMain::mnuFilePrint_Click},
    {"Cut", &frmMain::mnuEditCut_Click},
    {"Copy", &frmMain::mnuEditCopy_Click},
    {"Paste", &frmMain::mnuEditPaste_Click},
    {"Bold", nullptr},
    {"Italic", nullptr},
    {"Underline", nullptr},
    {"Align Left", nullptr},
    {"Center", nullptr},
    {"Align Right", nullptr},
};

} // namespace

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
    dialog.Filter = QStringLiteral("All Files (*.*)|*.*");
    // Confirmed or cancelled, the command ends here: a name chosen is not
    // used, it stays in the dialog for its next use.
    dialog.ShowOpen(this);
}

void frmMain::mnuFilePageSetup_Click()
{
    CommonDialog &dialog = m_services.commonDialog;
    dialog.DialogTitle = QStringLiteral("Page Setup");
    // Confirmed or cancelled, nothing picked there is read back.
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
    const auto *found = std::find_if(std::begin(toolbarCommands), std::end(toolbarCommands),
                                     [&key](const ToolbarCommand &entry) { return key == QLatin1String(entry.key); });
    // A separator, an action of another bar or none at all: nothing to run.
    if (found == std::end(toolbarCommands))
        return;
    if (found->command)
        (this->*found->command)();
    else
        placeholder(QStringLiteral("Add '%1' button code.").arg(key));
}

} // namespace kestrin
