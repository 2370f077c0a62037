#include "frmabout.h"

#include "accessibletree.h"

#include "messagebox.h"
#include "registry.h"
#include "systemservices.h"
#include "windowframe.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QMap>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QtEndian>

#include <cstring>

using namespace kestrin;

namespace {

const QByteArray key1 = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const QByteArray key2 = "SOFTWARE\\Microsoft\\Shared Tools Location";
const QString unavailableText = QStringLiteral("System Information Is Unavailable At This Time");

// A hive of (key, value name) -> (type, data) under HKEY_LOCAL_MACHINE that
// records every call and, like Windows for a standard user, refuses write rights.
class ScriptedRegistry final : public Registry
{
public:
    struct Value { quint32 type; QByteArray data; };
    QMap<QPair<QByteArray, QByteArray>, Value> values;
    QByteArrayList opened;       // every key path asked for, in order
    QList<quint32> masks;        // the access mask of each open
    QList<quint32> querySizes;   // the buffer size each query offered
    int badArguments = 0;        // options, reserved or dirty buffer
    QHash<quint64, QByteArray> open;

    long RegOpenKeyExA(quint32 hKey, const QByteArray &subKey, quint32 options, quint32 sam, quint64 *out) override
    {
        opened << subKey;
        masks << sam;
        badArguments += options != 0;
        if (sam & reg::KeyWriteRights)
            return reg::ErrorAccessDenied;
        const bool exists = std::any_of(values.keyBegin(), values.keyEnd(), [&](const auto &k) { return k.first == subKey; });
        if (hKey != reg::HKeyLocalMachine || !exists)
            return reg::ErrorFileNotFound;
        *out = ++m_last;
        open.insert(*out, subKey);
        return reg::ErrorSuccess;
    }
    long RegQueryValueExA(quint64 hKey, const QByteArray &name, quint32 *reserved, quint32 *type, char *data,
                          quint32 *cbData) override
    {
        querySizes << *cbData;
        badArguments += reserved != nullptr || QByteArray(data, *cbData).count('\0') != *cbData;
        if (!open.contains(hKey))
            return reg::ErrorInvalidHandle;
        const auto it = values.constFind({open.value(hKey), name});
        if (it == values.constEnd())
            return reg::ErrorFileNotFound;
        const quint32 room = *cbData;
        *cbData = quint32(it->data.size());
        *type = it->type;
        if (room < *cbData)
            return reg::ErrorMoreData;
        std::memcpy(data, it->data.constData(), size_t(it->data.size()));
        return reg::ErrorSuccess;
    }
    long RegCloseKey(quint64 hKey) override { return open.remove(hKey) ? reg::ErrorSuccess : reg::ErrorInvalidHandle; }

private:
    quint64 m_last = 0;
};

class ScriptedSystem final : public SystemServices
{
public:
    QSet<QString> existing;
    bool startResult = true;
    QStringList asked, started;
    QList<int> styles;

    bool fileExists(const QString &path) override { asked << path; return existing.contains(path); }
    bool startProgram(const QString &line, int style) override { started << line; styles << style; return startResult; }
};

class RecordingMessageBox final : public MessageBoxService
{
public:
    struct Shown { QWidget *owner; QString prompt; int style; QString caption; };
    QList<Shown> shown;
    void MsgBox(QWidget *owner, const QString &prompt, int style, const QString &caption) override
    {
        shown << Shown{owner, prompt, style, caption};
    }
};

QByteArray dword(quint32 v)
{
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

template<typename T> T *child(QWidget &dlg, const char *name)
{
    return dlg.findChild<T *>(QString::fromLatin1(name));
}

// A window manager's frames drawn around offscreen windows: each window's
// extents, told before it is shown or only once it is.
class ScriptedFrames final : public WindowFrame
{
public:
    QMargins ownerExtents;
    QMargins dialogExtents;
    bool toldBeforeShown = true;
    const QWidget *owner = nullptr;

    QRect outerFrame(const QWidget &window) override { return window.geometry().marginsAdded(extents(window)); }
    std::optional<QMargins> frameExtents(QWidget &window) override
    {
        if (!toldBeforeShown && !window.isVisible())
            return std::nullopt;
        return extents(window);
    }

private:
    QMargins extents(const QWidget &window) const { return &window == owner ? ownerExtents : dialogExtents; }
};

} // namespace

class FrmAboutTest : public QObject
{
    Q_OBJECT

    ScriptedRegistry registry;
    ScriptedSystem system;
    RecordingMessageBox boxes;
    ScriptedFrames frames;

private Q_SLOTS:
    void init()
    {
        registry = {};
        system = {};
        boxes.shown.clear();
        frames = {};
    }
    void layoutAtEachOpening_data();
    void layoutAtEachOpening();
    void window();
    void centredOverOwnerFrame_data();
    void centredOverOwnerFrame();
    void keys_data();
    void keys();
    void lookup_data();
    void lookup();
    void getKeyValue_data();
    void getKeyValue();
    void namesForAScreenReader_data();
    void namesForAScreenReader();
    void everyTabStopIsNamed();
};

void FrmAboutTest::layoutAtEachOpening_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("twips");
    QTest::newRow("cmdOK") << u"cmdOK"_qs << u"OK"_qs << QRect(4245, 2625, 1467, 345);
    QTest::newRow("cmdSysInfo") << u"cmdSysInfo"_qs << u"&System Info..."_qs << QRect(4260, 3075, 1452, 345);
    QTest::newRow("picIcon") << u"picIcon"_qs << QString() << QRect(240, 240, 432, 432);
    QTest::newRow("lblDisclaimer") << u"lblDisclaimer"_qs << u"Warning: ..."_qs << QRect(255, 2625, 3870, 825);
    QTest::newRow("lblVersion") << u"lblVersion"_qs << u"Version 1.0.0"_qs << QRect(1050, 780, 4092, 225);
    QTest::newRow("lblTitle") << u"lblTitle"_qs << u"Kestrin-3"_qs << QRect(1050, 240, 4092, 480);
    QTest::newRow("lblDescription") << u"lblDescription"_qs << u"App Description"_qs << QRect(1050, 1125, 4092, 1170);
}

void FrmAboutTest::layoutAtEachOpening()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QRect, twips);
    for (int opening = 0; opening < 2; ++opening) {
        frmAbout dlg(nullptr, boxes, registry, system, frames);
        auto *w = dlg.findChild<QWidget *>(name);
        QVERIFY(w);
        const auto px = [&](int t) { return qRound(t * dlg.logicalDpiX() / 1440.0); };
        QCOMPARE(w->geometry(), QRect(px(twips.x()), px(twips.y()), px(twips.width()), px(twips.height())));
        if (auto *b = qobject_cast<QPushButton *>(w))
            QCOMPARE(b->text(), text);
        else if (auto *l = qobject_cast<QLabel *>(w); l && !text.isEmpty())
            QCOMPARE(l->text(), text);
        dlg.show();
        child<QPushButton>(dlg, "cmdOK")->click();
        QVERIFY(!dlg.isVisible());
    }
}

void FrmAboutTest::window()
{
    QWidget owner;
    owner.setGeometry(60, 50, 640, 480);
    owner.show();
    frmAbout dlg(&owner, boxes, registry, system, frames);
    QCOMPARE(dlg.windowTitle(), u"About Project1"_qs);
    QVERIFY(dlg.isModal());
    QCOMPARE(dlg.minimumSize(), dlg.maximumSize());
    QCOMPARE(dlg.size(), QSize(qRound(5892 * dlg.logicalDpiX() / 1440.0), qRound(3672 * dlg.logicalDpiY() / 1440.0)));
    QVERIFY(!(dlg.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QVERIFY(!child<QLabel>(dlg, "picIcon")->pixmap().isNull());

    // The etched rule: grey 1 px over white 2 px.
    const auto *grey = child<QWidget>(dlg, "Line1_1");
    const auto *white = child<QWidget>(dlg, "Line1_0");
    QVERIFY(grey && white);
    QCOMPARE(grey->palette().color(QPalette::Window), QColor(128, 128, 128));
    QCOMPARE(white->palette().color(QPalette::Window), QColor(255, 255, 255));
    QCOMPARE(grey->height(), 1);
    QCOMPARE(white->height(), 2);
    QCOMPARE(white->y(), grey->y() + 1);
    QCOMPARE(white->geometry().right(), grey->geometry().right());

    dlg.show();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    QVERIFY(qAbs(dlg.geometry().center().x() - owner.geometry().center().x()) <= 1);
    QVERIFY(qAbs(dlg.geometry().center().y() - owner.geometry().center().y()) <= 1);

    // The focus starts on OK; the tab order runs OK, System Info, icon.
    QCOMPARE(QApplication::focusWidget(), child<QWidget>(dlg, "cmdOK"));
    for (const char *next : {"cmdSysInfo", "picIcon", "cmdOK"}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QString::fromLatin1(next));
    }
}

void FrmAboutTest::centredOverOwnerFrame_data()
{
    QTest::addColumn<QMargins>("ownerExtents");
    QTest::addColumn<QMargins>("dialogExtents");
    QTest::addColumn<bool>("toldBeforeShown");
    QTest::addColumn<QRect>("ownerGeometry");

    // left, top, right, bottom
    QTest::newRow("openbox-like, told beforehand") << QMargins(1, 20, 1, 5) << QMargins(1, 20, 1, 1) << true
                                                   << QRect(136, 237, 1008, 564);
    QTest::newRow("thick title, told beforehand") << QMargins(4, 30, 4, 4) << QMargins(4, 30, 4, 4) << true
                                                  << QRect(60, 50, 640, 480);
    QTest::newRow("known only once framed") << QMargins(1, 20, 1, 5) << QMargins(1, 20, 1, 1) << false
                                            << QRect(136, 237, 1008, 564);
    QTest::newRow("unframed") << QMargins() << QMargins() << true << QRect(0, 0, 1008, 564);
}

void FrmAboutTest::centredOverOwnerFrame()
{
    QFETCH(QMargins, ownerExtents);
    QFETCH(QMargins, dialogExtents);
    QFETCH(bool, toldBeforeShown);
    QFETCH(QRect, ownerGeometry);

    QWidget owner;
    owner.setGeometry(ownerGeometry);
    owner.show();
    frames.owner = &owner;
    frames.ownerExtents = ownerExtents;
    frames.dialogExtents = dialogExtents;
    frames.toldBeforeShown = toldBeforeShown;
    frmAbout dlg(&owner, boxes, registry, system, frames);
    // Twice the distance between the outer frames' centres.
    const auto offCentre = [&] {
        const QRect o = frames.outerFrame(owner);
        const QRect d = frames.outerFrame(dlg);
        return QPoint((2 * d.x() + d.width()) - (2 * o.x() + o.width()),
                      (2 * d.y() + d.height()) - (2 * o.y() + o.height()));
    };
    const auto centred = [&] { return qAbs(offCentre().x()) <= 2 && qAbs(offCentre().y()) <= 2; };

    dlg.show();
    // Where the extents are told beforehand it is in place from the start.
    if (toldBeforeShown)
        QVERIFY2(centred(), qPrintable(QStringLiteral("off by %1,%2 half pixels").arg(offCentre().x()).arg(offCentre().y())));
    QTRY_VERIFY2_WITH_TIMEOUT(centred(), qPrintable(QStringLiteral("off by %1,%2 half pixels")
                                                        .arg(offCentre().x()).arg(offCentre().y())), 2000);
    dlg.close();
}

void FrmAboutTest::keys_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("closes");
    QTest::newRow("Esc on OK") << u"cmdOK"_qs << int(Qt::Key_Escape) << 0 << true;
    QTest::newRow("Esc on System Info") << u"cmdSysInfo"_qs << int(Qt::Key_Escape) << 0 << true;
    QTest::newRow("Return on OK") << u"cmdOK"_qs << int(Qt::Key_Return) << 0 << true;
    QTest::newRow("Enter on icon") << u"picIcon"_qs << int(Qt::Key_Enter) << 0 << true;
    QTest::newRow("Return on System Info") << u"cmdSysInfo"_qs << int(Qt::Key_Return) << 0 << false;
    QTest::newRow("Alt+S") << u"cmdOK"_qs << int(Qt::Key_S) << int(Qt::AltModifier) << false;
}

void FrmAboutTest::keys()
{
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, closes);

    frmAbout dlg(nullptr, boxes, registry, system, frames); // empty hive: System Info says unavailable
    QSignalSpy okClicks(child<QPushButton>(dlg, "cmdOK"), &QPushButton::clicked);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    dlg.findChild<QWidget *>(focus)->setFocus();
    QTest::keyClick(dlg.windowHandle(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));

    // An access key presses its button after a short animation.
    QTRY_COMPARE(boxes.shown.size(), closes ? 0 : 1);
    QCOMPARE(dlg.isVisible(), !closes);
    QCOMPARE(okClicks.count(), closes ? 1 : 0);
    if (closes)
        QCOMPARE(dlg.result(), int(QDialog::Accepted)); // through OK, not a plain reject
}

void FrmAboutTest::lookup_data()
{
    QTest::addColumn<int>("type1"); // -1: value absent
    QTest::addColumn<QByteArray>("data1");
    QTest::addColumn<int>("type2");
    QTest::addColumn<QByteArray>("data2");
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<bool>("startWorks");
    QTest::addColumn<QStringList>("asked");
    QTest::addColumn<QStringList>("started");
    QTest::addColumn<int>("tries");
    QTest::addColumn<bool>("unavailable");

    const QByteArray tool = "C:\\Program Files\\Common Files\\Microsoft Shared\\MSInfo\\msinfo32.exe";
    const QByteArray folder = "C:\\Windows\\System32";
    const QString inFolder = QString::fromLatin1(folder) + u"\\MSINFO32.EXE"_qs;
    const QByteArray sz = QByteArray::fromRawData("\0", 1);
    const QStringList none;

    QTest::newRow("try 1, no existence test") << 1 << tool + sz << 1 << folder + sz << none << true
                                               << none << QStringList{QString::fromLatin1(tool)} << 1 << false;
    QTest::newRow("try 1, start fails") << 1 << tool + sz << 1 << folder + sz << none << false
                                         << none << QStringList{QString::fromLatin1(tool)} << 1 << true;
    QTest::newRow("try 2 holds the tool") << -1 << QByteArray() << 1 << folder + sz << QStringList{inFolder} << true
                                           << QStringList{inFolder} << QStringList{inFolder} << 2 << false;
    QTest::newRow("try 2 without the tool") << -1 << QByteArray() << 1 << folder + sz << none << true
                                             << QStringList{inFolder} << none << 2 << true;
    QTest::newRow("both missing") << -1 << QByteArray() << -1 << QByteArray() << none << true
                                   << none << none << 2 << true;
    QTest::newRow("try 1 over 1024 bytes") << 1 << QByteArray(1500, 'a') + sz << 1 << folder + sz
                                            << QStringList{inFolder} << true << QStringList{inFolder}
                                            << QStringList{inFolder} << 2 << false;
    QTest::newRow("try 1 of 1024 bytes, no zero") << 1 << QByteArray(1024, 'a') << 1 << folder + sz
                                                   << QStringList{inFolder} << true << none << none << 1 << true;
    QTest::newRow("try 1 of 1023 bytes, no zero") << 1 << QByteArray(1023, 'a') << -1 << QByteArray() << none
                                                   << true << none << QStringList{QString(1023, u'a')} << 1 << false;
    QTest::newRow("try 1 REG_DWORD") << 4 << dword(0x01020304) << -1 << QByteArray() << none << true
                                      << none << QStringList{u"16909060"_qs} << 1 << false;
    QTest::newRow("try 1 expandable") << 2 << "%SystemRoot%\\msinfo32.exe" + sz << 1 << folder + sz << none << false
                                       << none << QStringList{QString()} << 1 << true;
    QTest::newRow("try 2 expandable") << -1 << QByteArray() << 2 << "%SystemRoot%" + sz << none << true
                                       << QStringList{u"\\MSINFO32.EXE"_qs} << none << 2 << true;
}

void FrmAboutTest::lookup()
{
    QFETCH(int, type1);
    QFETCH(QByteArray, data1);
    QFETCH(int, type2);
    QFETCH(QByteArray, data2);
    QFETCH(QStringList, existing);
    QFETCH(bool, startWorks);
    QFETCH(QStringList, asked);
    QFETCH(QStringList, started);
    QFETCH(int, tries);
    QFETCH(bool, unavailable);

    if (type1 >= 0)
        registry.values[{key1, "PATH"}] = {quint32(type1), data1};
    if (type2 >= 0)
        registry.values[{key2, "MSINFO"}] = {quint32(type2), data2};
    system.existing = QSet<QString>(existing.begin(), existing.end());
    system.startResult = startWorks;

    frmAbout dlg(nullptr, boxes, registry, system, frames);
    dlg.show();
    auto *sysInfo = child<QPushButton>(dlg, "cmdSysInfo");
    QByteArrayList keys;
    for (int press = 1; press <= 2; ++press) {
        keys += QByteArrayList{key1, key2}.mid(0, tries);
        QTest::mouseClick(sysInfo, Qt::LeftButton);
        QCOMPARE(registry.opened, keys);
        QCOMPARE(system.asked.size(), press * asked.size());
        QCOMPARE(system.started.size(), press * started.size());
        QCOMPARE(boxes.shown.size(), unavailable ? press : 0);
        QVERIFY(dlg.isVisible());
    }
    QCOMPARE(system.asked.mid(0, asked.size()), asked);
    QCOMPARE(system.started.mid(0, started.size()), started);
    for (int style : std::as_const(system.styles))
        QCOMPARE(style, winstyle::NormalFocus);
    for (const auto &box : std::as_const(boxes.shown)) {
        QCOMPARE(box.prompt, unavailableText);
        QCOMPARE(box.style, mb::OK);
        QVERIFY(box.caption.isEmpty());
        QCOMPARE(box.owner, &dlg);
    }
    for (quint32 mask : std::as_const(registry.masks))
        QCOMPARE(mask, 0x20019u);
    QCOMPARE(registry.badArguments, 0);
    QVERIFY(registry.open.isEmpty()); // every opened key was closed
}

void FrmAboutTest::getKeyValue_data()
{
    QTest::addColumn<int>("type"); // -1: key present, value absent
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("before");
    QTest::addColumn<KeyReadResult>("result");
    QTest::addColumn<QString>("after");

    const QString old = u"old"_qs;
    QTest::newRow("REG_SZ cut at first zero") << 1 << QByteArray("abc\0def", 7) << old << KeyReadResult::Read << u"abc"_qs;
    QTest::newRow("REG_SZ empty") << 1 << QByteArray(1, '\0') << old << KeyReadResult::Read << QString();
    QTest::newRow("REG_SZ in the local code page") << 1 << QByteArray("C:\\Temp\xc3\xa9") << old << KeyReadResult::Read
                                                    << u"C:\\Temp\u00e9"_qs;
    QTest::newRow("REG_DWORD top bit") << 4 << dword(0xFFFFFFFEu) << old << KeyReadResult::Read << u"4294967294"_qs;
    QTest::newRow("expandable left as passed") << 2 << QByteArray("%windir%\0", 9) << old << KeyReadResult::Read << old;
    QTest::newRow("binary left as passed") << 3 << QByteArray("\x01\x02\0", 3) << old << KeyReadResult::Read << old;
    QTest::newRow("value absent") << -1 << QByteArray() << old << KeyReadResult::NotRead << QString();
    QTest::newRow("1024 bytes, no zero") << 1 << QByteArray(1024, 'x') << old << KeyReadResult::Fault << old;
    QTest::newRow("1024 bytes, last zero") << 1 << QByteArray(1023, 'x') + '\0' << old << KeyReadResult::Read
                                            << QString(1023, u'x');
}

void FrmAboutTest::getKeyValue()
{
    QFETCH(int, type);
    QFETCH(QByteArray, data);
    QFETCH(QString, before);
    QFETCH(KeyReadResult, result);
    QFETCH(QString, after);

    if (type >= 0)
        registry.values[{"K", "V"}] = {quint32(type), data};
    else
        registry.values[{"K", "other"}] = {reg::TypeSz, QByteArray(1, '\0')};

    frmAbout dlg(nullptr, boxes, registry, system, frames);
    QString text = before;
    QCOMPARE(dlg.GetKeyValue(reg::HKeyLocalMachine, u"K"_qs, u"V"_qs, text), result);
    QCOMPARE(text, after);
    QCOMPARE(registry.masks, QList<quint32>{reg::KeyRead});
    QCOMPARE(registry.querySizes, QList<quint32>{1024});
    QCOMPARE(registry.badArguments, 0);
    QVERIFY(registry.open.isEmpty());
    QVERIFY(boxes.shown.isEmpty());
}

void FrmAboutTest::namesForAScreenReader_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("spoken");
    QTest::newRow("dialog") << u"frmAbout"_qs << int(QAccessible::Dialog) << u"About Project1"_qs;
    QTest::newRow("cmdOK") << u"cmdOK"_qs << int(QAccessible::Button) << u"OK"_qs;
    // The access key's ampersand is not spoken.
    QTest::newRow("cmdSysInfo") << u"cmdSysInfo"_qs << int(QAccessible::Button) << u"System Info..."_qs;
    QTest::newRow("picIcon") << u"picIcon"_qs << int(QAccessible::Graphic) << u"Application icon"_qs;
    QTest::newRow("lblTitle") << u"lblTitle"_qs << int(QAccessible::StaticText) << u"Kestrin-3"_qs;
    QTest::newRow("lblVersion") << u"lblVersion"_qs << int(QAccessible::StaticText) << u"Version 1.0.0"_qs;
}

void FrmAboutTest::namesForAScreenReader()
{
    QFETCH(QString, name);
    QFETCH(int, role);
    QFETCH(QString, spoken);
    frmAbout dlg(nullptr, boxes, registry, system, frames);
    QObject *object = name == u"frmAbout"_qs ? &dlg : dlg.findChild<QObject *>(name);
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(object);
    QVERIFY(iface);
    QCOMPARE(int(iface->role()), role);
    QCOMPARE(iface->text(QAccessible::Name), spoken);
}

// Every tab stop, the icon among them, has something to say.
void FrmAboutTest::everyTabStopIsNamed()
{
    frmAbout dlg(nullptr, boxes, registry, system, frames);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    const QStringList unnamed = kestrin::testing::unnamedFocusable(&dlg);
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(u"; "_qs)));
}

QTEST_MAIN(FrmAboutTest)
#include "frmabout_test.moc"
