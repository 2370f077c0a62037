#include "frmabout.h"

#include "captions.h"

#include "twips.h"

#include "abouticon.xpm"
#include "appinfo.h"
#include "messagebox.h"
#include "registry.h"
#include "systemservices.h"
#include "windowframe.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QShowEvent>
#include <QtEndian>

namespace kestrin {

namespace {

// The tool's name in the folder the registry names.
const QString sysInfoExe = QStringLiteral("\\MSINFO32.EXE");

constexpr quint32 valueBufferSize = 1024;


QFrame *makeLine(QWidget *parent, const QString &name, const QColor &colour)
{
    auto *line = new QFrame(parent);
    line->setObjectName(name);
    line->setFrameShape(QFrame::NoFrame);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, colour);
    line->setPalette(palette);
    return line;
}

QLabel *makeLabel(QWidget *parent, const QString &name, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    return label;
}

} // namespace

frmAbout::frmAbout(QWidget *owner, MessageBoxService &messageBox, Registry &registry, SystemServices &system,
                   WindowFrame &frames)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                         | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , m_messageBox(messageBox)
    , m_registry(registry)
    , m_system(system)
    , m_frames(frames)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Project1"));
    setModal(true);
    setSizeGripEnabled(false);
    setFixedSize(Twips::x(this, 5892), Twips::y(this, 3672));

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(Twips::rect(this, 4245, 2625, 1467, 345));
    cmdOK->setDefault(true);

    cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo->setGeometry(Twips::rect(this, 4260, 3075, 1452, 345));

    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setGeometry(Twips::rect(this, 240, 240, 432, 432));
    // A picture box is a tab stop, between the buttons and the labels.
    picIcon->setFocusPolicy(Qt::TabFocus);
    // A tab stop a screen reader would otherwise announce as a nameless image.
    picIcon->setAccessibleName(QStringLiteral("Application icon"));
    picIcon->setAlignment(Qt::AlignCenter);
    picIcon->setPixmap(QPixmap(abouticon_xpm).scaled(picIcon->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));

    lblDisclaimer = makeLabel(this, QStringLiteral("lblDisclaimer"), QStringLiteral("Warning: ..."));
    lblDisclaimer->setGeometry(Twips::rect(this, 255, 2625, 3870, 825));
    lblVersion = makeLabel(this, QStringLiteral("lblVersion"), QStringLiteral("Version"));
    lblVersion->setGeometry(Twips::rect(this, 1050, 780, 4092, 225));
    lblTitle = makeLabel(this, QStringLiteral("lblTitle"), QStringLiteral("Application Title"));
    lblTitle->setGeometry(Twips::rect(this, 1050, 240, 4092, 480));
    lblDescription = makeLabel(this, QStringLiteral("lblDescription"), QStringLiteral("App Description"));
    lblDescription->setGeometry(Twips::rect(this, 1050, 1125, 4092, 1170));

    // The etched rule: a grey line with a white one just below it.
    Line1_1 = makeLine(this, QStringLiteral("Line1_1"), QColor(128, 128, 128));
    Line1_1->setGeometry(Twips::x(this, 225), Twips::y(this, 2430), Twips::x(this, 5657) - Twips::x(this, 225), 1);
    Line1_0 = makeLine(this, QStringLiteral("Line1_0"), QColor(255, 255, 255));
    Line1_0->setGeometry(Twips::x(this, 240), Twips::y(this, 2445), Twips::x(this, 5657) - Twips::x(this, 240), 2);

    setTabOrder(cmdOK, cmdSysInfo);
    setTabOrder(cmdSysInfo, picIcon);

    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);

    cmdOK->setFocus();

    m_centreCheck.setInterval(50);
    connect(&m_centreCheck, &QTimer::timeout, this, &frmAbout::checkCentre);

    Form_Load();
    Captions::showWhole(this, width());
}

void frmAbout::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous() || !parentWidget())
        return;
    // Placed before the window is mapped, with the frame the window manager
    // says it will get, so that it does not jump once framed.
    centreOverOwner(m_frames.frameExtents(*this).value_or(QMargins()));
    // A window manager that cannot tell beforehand shows its frame only
    // after mapping.
    m_centreChecks = 0;
    m_centreCheck.start();
}

void frmAbout::centreOverOwner(const QMargins &extents)
{
    const QRect owner = m_frames.outerFrame(*parentWidget()->window());
    const QSize frame = size().grownBy(extents);
    const QPoint topLeft(owner.x() + (owner.width() - frame.width()) / 2,
                         owner.y() + (owner.height() - frame.height()) / 2);
    setGeometry(QRect(topLeft + QPoint(extents.left(), extents.top()), size()));
}

void frmAbout::checkCentre()
{
    if (!isVisible() || ++m_centreChecks >= 20) {
        m_centreCheck.stop();
        return;
    }
    const QRect owner = m_frames.outerFrame(*parentWidget()->window());
    const QRect frame = m_frames.outerFrame(*this);
    // Twice the distance between the centres, to stay in whole pixels.
    const int dx = (2 * owner.x() + owner.width()) - (2 * frame.x() + frame.width());
    const int dy = (2 * owner.y() + owner.height()) - (2 * frame.y() + frame.height());
    if (qAbs(dx) > 2 || qAbs(dy) > 2)
        centreOverOwner(m_frames.frameExtents(*this).value_or(QMargins()));
}

void frmAbout::Form_Load()
{
    lblVersion->setText(QStringLiteral("Version ") + QString::number(appinfo::versionMajor) + QLatin1Char('.')
                        + QString::number(appinfo::versionMinor) + QLatin1Char('.')
                        + QString::number(appinfo::versionRevision));
    lblTitle->setText(appinfo::title());
}

void frmAbout::cmdOK_Click()
{
    accept();
}

void frmAbout::cmdSysInfo_Click()
{
    StartSysInfo();
}

void frmAbout::keyPressEvent(QKeyEvent *event)
{
    // OK is also the cancel button: Esc presses it rather than rejecting.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdOK->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmAbout::StartSysInfo()
{
    // One guard for the whole command: every failure ends in the same message.
    const auto unavailable = [this] {
        m_messageBox.MsgBox(this, QStringLiteral("System Information Is Unavailable At This Time"), mb::OK,
                            QString());
    };

    QString SysInfoPath;
    KeyReadResult found = GetKeyValue(reg::HKeyLocalMachine, QString::fromLatin1(reg::SysInfoKey),
                                     QString::fromLatin1(reg::SysInfoValue), SysInfoPath);
    if (found == KeyReadResult::Fault)
        return unavailable();
    if (found == KeyReadResult::NotRead) {
        found = GetKeyValue(reg::HKeyLocalMachine, QString::fromLatin1(reg::SysInfoFolderKey),
                            QString::fromLatin1(reg::SysInfoFolderValue), SysInfoPath);
        if (found != KeyReadResult::Read)
            return unavailable();
        if (!m_system.fileExists(SysInfoPath + sysInfoExe))
            return unavailable();
        SysInfoPath += sysInfoExe;
    }
    if (!m_system.startProgram(SysInfoPath, winstyle::NormalFocus))
        return unavailable();
}

KeyReadResult frmAbout::GetKeyValue(const quint32 &KeyRoot, const QString &KeyName, const QString &SubKeyRef,
                                    QString &KeyVal)
{
    // Read rights only: write rights on HKEY_LOCAL_MACHINE are refused to
    // most users, and the lookup would fail although the value is there.
    quint64 hKey = 0;
    if (m_registry.RegOpenKeyExA(KeyRoot, KeyName.toLocal8Bit(), 0, reg::KeyRead, &hKey) != reg::ErrorSuccess) {
        KeyVal.clear();
        return KeyReadResult::NotRead;
    }

    QByteArray tmpVal(valueBufferSize, '\0');
    quint32 KeyValSize = valueBufferSize;
    quint32 KeyValType = 0;
    if (m_registry.RegQueryValueExA(hKey, SubKeyRef.toLocal8Bit(), nullptr, &KeyValType, tmpVal.data(), &KeyValSize)
        != reg::ErrorSuccess) {
        KeyVal.clear();
        m_registry.RegCloseKey(hKey);
        return KeyReadResult::NotRead;
    }

    // Data that fills the whole buffer has no terminating zero to cut at.
    const qsizetype end = tmpVal.indexOf('\0');
    if (end < 0) {
        m_registry.RegCloseKey(hKey);
        return KeyReadResult::Fault;
    }

    switch (KeyValType) {
    case reg::TypeSz:
        KeyVal = QString::fromLocal8Bit(tmpVal.constData(), end);
        break;
    case reg::TypeDword:
        // The buffer started zeroed, so a short value reads as its low bytes.
        KeyVal = QString::number(qFromLittleEndian<quint32>(tmpVal.constData()));
        break;
    default:
        // Other types are not text this lookup understands.
        break;
    }

    m_registry.RegCloseKey(hKey);
    return KeyReadResult::Read;
}

} // namespace kestrin
