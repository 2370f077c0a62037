#pragma once

#include <QDialog>
#include <QString>
#include <QTimer>

class QFrame;
class QKeyEvent;
class QLabel;
class QMargins;
class QShowEvent;
class QPushButton;

namespace kestrin {

class MessageBoxService;
class Registry;
class SystemServices;
class WindowFrame;

// What GetKeyValue reports: the value was read or not, or the read hit a
// fault that only StartSysInfo's guard handles (a value filling the whole
// buffer, with no terminating zero).
enum class KeyReadResult : quint8 { NotRead, Read, Fault };

// The About box: title, version, two fixed texts, the icon, OK, and System
// Info, which starts the platform's system information tool. Create one per
// opening; it keeps nothing between openings.
class frmAbout final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmAbout)

public:
    frmAbout(QWidget *owner, MessageBoxService &messageBox, Registry &registry, SystemServices &system,
             WindowFrame &frames);

    // Finds the system information tool through the registry and starts it,
    // or tells the user that it is unavailable.
    void StartSysInfo();

    // Reads one registry value as text into KeyVal. Read when the key opened
    // and the value was read; NotRead (KeyVal emptied) otherwise. A value of
    // a type other than string or DWORD leaves KeyVal as it came in.
    KeyReadResult GetKeyValue(const quint32 &KeyRoot, const QString &KeyName, const QString &SubKeyRef,
                              QString &KeyVal);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();
    // Places the dialog so that its outer frame, `extents` wide around the
    // client area, is centred on its owner's outer frame.
    void centreOverOwner(const QMargins &extents);
    void checkCentre();

    MessageBoxService &m_messageBox;
    Registry &m_registry;
    SystemServices &m_system;
    WindowFrame &m_frames;
    // After the dialog is shown, until the window manager's frame is known.
    QTimer m_centreCheck;
    int m_centreChecks = 0;

    QPushButton *cmdOK = nullptr;
    QPushButton *cmdSysInfo = nullptr;
    QLabel *picIcon = nullptr;
    QLabel *lblDisclaimer = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *lblTitle = nullptr;
    QLabel *lblDescription = nullptr;
    QFrame *Line1_0 = nullptr;
    QFrame *Line1_1 = nullptr;
};

} // namespace kestrin
