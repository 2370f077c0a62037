#include "frmmain.h"

#include "commondialog.h"
#include "frmabout.h"
#include "helpviewer.h"
#include "messagebox.h"
#include "statusbar.h"
#include "toolbar.h"

#include <QAction>

#include <functional>
#include <vector>

namespace kestrin {

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
