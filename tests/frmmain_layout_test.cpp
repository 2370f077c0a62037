// The main window as built: its controls, the menu tree, the bars along the
// client area's edges, keyboard order and shortcuts, and the toolbar's clicks.

#include "fakeservices.h"
#include "frmmain.h"
#include "twips.h"
#include "gatewaysimulator.h"
#include "statusbar.h"
#include "toolbar.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QToolButton>

#include <algorithm>
#include <cmath>

using namespace kestrin;
using namespace kestrin::testing;

namespace {

struct Control
{
    const char *name;
    const char *kind;
    const char *text; // initial text or caption
    int left, top, width, height;
    int tabIndex;
    bool takesFocus;
};

// The window's design, top to bottom.
const Control controls[] = {
    {"tbToolBar", "toolbar", "", 0, 0, 15120, 336, 1, false},
    {"cboAddress", "combo", "", 1920, 360, 11650, 280, 3, true},
    {"brwWebBrowser", "browser", "", 1920, 960, 11650, 4570, 2, true},
    {"Label1", "label", "Sensor Number", 360, 1920, 1210, 250, 7, false},
    {"txtSensorNum", "text", "", 360, 2280, 1090, 610, 6, true},
    {"Label2", "label", "Temperature", 360, 3120, 1210, 250, 9, false},
    {"txtTemperature", "text", "", 360, 3360, 1090, 610, 8, true},
    {"btnFileWrite", "button", "Start Logging", 1920, 5760, 1690, 730, 4, true},
    {"txtFileName", "text", "", 3840, 5760, 3970, 300, 10, true},
    {"txtRecNum", "text", "", 3840, 6240, 850, 300, 11, true},
    {"Label3", "label", "Records Written", 4800, 6240, 850, 370, 12, false},
    {"btnStop", "button", "Stop Program", 11760, 5760, 1690, 730, 5, true},
    {"sbStatusBar", "statusbar", "", 0, 7896, 15120, 276, 0, false},
};

struct MenuItem
{
    const char *menu;
    const char *name;
    const char *caption; // "-" for a separator
    const char *shortcut;
    bool visible;
    bool checked;
};

const MenuItem menuItems[] = {
    {"mnuFile", "mnuFileNew", "&New", "Ctrl+N", true, false},
    {"mnuFile", "mnuFileOpen", "&Open...", "", true, false},
    {"mnuFile", "mnuFileClose", "&Close", "", true, false},
    {"mnuFile", "mnuFileBar0", "-", "", true, false},
    {"mnuFile", "mnuFileSave", "&Save", "", true, false},
    {"mnuFile", "mnuFileSaveAs", "Save &As...", "", true, false},
    {"mnuFile", "mnuFileSaveAll", "Save A&ll", "", true, false},
    {"mnuFile", "mnuFileBar1", "-", "", true, false},
    {"mnuFile", "mnuFileProperties", "Propert&ies", "", true, false},
    {"mnuFile", "mnuFileBar2", "-", "", true, false},
    {"mnuFile", "mnuFilePageSetup", "Page Set&up...", "", true, false},
    {"mnuFile", "mnuFilePrintPreview", "Print Pre&view", "", true, false},
    {"mnuFile", "mnuFilePrint", "&Print...", "", true, false},
    {"mnuFile", "mnuFileBar3", "-", "", true, false},
    {"mnuFile", "mnuFileSend", "Sen&d...", "", true, false},
    {"mnuFile", "mnuFileBar4", "-", "", true, false},
    {"mnuFile", "mnuFileMRU1", "", "", false, false},
    {"mnuFile", "mnuFileMRU2", "", "", false, false},
    {"mnuFile", "mnuFileMRU3", "", "", false, false},
    {"mnuFile", "mnuFileBar5", "-", "", false, false},
    {"mnuFile", "mnuFileExit", "E&xit", "", true, false},
    {"mnuEdit", "mnuEditUndo", "&Undo", "", true, false},
    {"mnuEdit", "mnuEditBar0", "-", "", true, false},
    {"mnuEdit", "mnuEditCut", "Cu&t", "Ctrl+X", true, false},
    {"mnuEdit", "mnuEditCopy", "&Copy", "Ctrl+C", true, false},
    {"mnuEdit", "mnuEditPaste", "&Paste", "Ctrl+V", true, false},
    {"mnuEdit", "mnuEditPasteSpecial", "Paste &Special...", "", true, false},
    {"mnuView", "mnuViewToolbar", "&Toolbar", "", true, true},
    {"mnuView", "mnuViewStatusBar", "Status &Bar", "", true, true},
    {"mnuView", "mnuViewBar0", "-", "", true, false},
    {"mnuView", "mnuViewRefresh", "&Refresh", "", true, false},
    {"mnuView", "mnuViewOptions", "&Options...", "", true, false},
    {"mnuView", "mnuViewWebBrowser", "&Web Browser", "", true, false},
    {"mnuHelp", "mnuHelpContents", "&Contents", "", true, false},
    {"mnuHelp", "mnuHelpSearchForHelpOn", "&Search For Help On...", "", true, false},
    {"mnuHelp", "mnuHelpBar0", "-", "", true, false},
    {"mnuHelp", "mnuHelpAbout", "&About ", "", true, false},
};

QString str(const char *s)
{
    return QString::fromUtf8(s);
}

// Within half a pixel of the design's twips, at the given resolution.
bool nearTwips(int pixels, int twips, int dpi, double pixelsSlack = 0.5)
{
    return std::abs(double(pixels) * 1440.0 / dpi - twips) <= pixelsSlack * 1440.0 / dpi + 1e-9;
}

QString describe(const QRect &r)
{
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

// Whether a label or button shows all of its caption, measured with its own font.
bool captionWhole(const QWidget *widget)
{
    if (auto *label = qobject_cast<const QLabel *>(widget)) {
        const QRect room = label->contentsRect();
        if (label->wordWrap())
            return label->fontMetrics().boundingRect(room, Qt::TextWordWrap, label->text()).height() <= room.height();
        return label->fontMetrics().horizontalAdvance(label->text()) <= room.width();
    }
    if (auto *button = qobject_cast<const QPushButton *>(widget)) {
        QString text = button->text();
        text.remove(u'&');
        return button->fontMetrics().horizontalAdvance(text) + 8 <= button->width();
    }
    return true;
}

bool takesTabFocus(const QWidget *widget)
{
    if (widget->focusPolicy() & Qt::TabFocus)
        return true;
    const QList<QWidget *> inside = widget->findChildren<QWidget *>();
    return std::any_of(inside.cbegin(), inside.cend(), [](const QWidget *w) { return bool(w->focusPolicy() & Qt::TabFocus); });
}

} // namespace

class FrmMainLayoutTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void controlsAsDesigned_data();
    void controlsAsDesigned();
    void windowAtStart();
    void browserBlankAtStart();
    void tabOrderFromInitialFocus();
    void menuBarTitles();
    void menuTree_data();
    void menuTree();
    void fileMenuWithoutHiddenItems();
    void barsFollowTheClientWidth_data();
    void barsFollowTheClientWidth();
    void hidingABarMovesNothing_data();
    void hidingABarMovesNothing();
    void shortcutsWinOverFields_data();
    void shortcutsWinOverFields();
    void altKeysOpenMenus_data();
    void altKeysOpenMenus();
    void toolbarClicksReachTheHandler_data();
    void toolbarClicksReachTheHandler();
    void alignmentButtonsFormOneGroup();
    void pollingMovesNothing();

private:
    void makeWindow(const QString &host = QStringLiteral("127.0.0.1:9"));
    void showActive();
    QWidget *control(const char *name) const;
    QHash<QString, QRect> placesExcept(const QStringList &skip) const;
    QString owner(QWidget *focused) const;

    std::unique_ptr<FakeServices> m_fakes;
    std::unique_ptr<frmMain> m_window;
};

void FrmMainLayoutTest::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void FrmMainLayoutTest::init()
{
    makeWindow();
}

void FrmMainLayoutTest::cleanup()
{
    m_window.reset();
    m_fakes.reset();
}

void FrmMainLayoutTest::makeWindow(const QString &host)
{
    m_window.reset();
    m_fakes = std::make_unique<FakeServices>();
    WebBrowser::Options browser;
    browser.minFailedLoadMs = 10;
    browser.loader.timeoutMs = 3000;
    m_window = std::make_unique<frmMain>(m_fakes->services(host, browser));
}

void FrmMainLayoutTest::showActive()
{
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

QWidget *FrmMainLayoutTest::control(const char *name) const
{
    return m_window->findChild<QWidget *>(str(name));
}

QHash<QString, QRect> FrmMainLayoutTest::placesExcept(const QStringList &skip) const
{
    QHash<QString, QRect> places;
    for (const Control &c : controls) {
        if (!skip.contains(str(c.name)))
            places.insert(str(c.name), control(c.name)->geometry());
    }
    return places;
}

// The designed control that holds the focus widget (the browser's page view
// belongs to the browser, the combo box's line edit to the combo box).
QString FrmMainLayoutTest::owner(QWidget *focused) const
{
    for (QWidget *w = focused; w; w = w->parentWidget()) {
        for (const Control &c : controls) {
            if (w->objectName() == str(c.name) && w->parentWidget() == m_window->clientArea())
                return w->objectName();
        }
    }
    return focused ? QStringLiteral("<%1 %2>").arg(str(focused->metaObject()->className()), focused->objectName())
                   : QStringLiteral("<none>");
}

void FrmMainLayoutTest::controlsAsDesigned_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<bool>("takesFocus");
    for (const Control &c : controls) {
        QTest::newRow(c.name) << str(c.name) << str(c.kind) << str(c.text)
                              << QRect(c.left, c.top, c.width, c.height) << c.takesFocus;
    }
}

void FrmMainLayoutTest::controlsAsDesigned()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QFETCH(QRect, twips);
    QFETCH(bool, takesFocus);
    showActive();

    const QList<QWidget *> found = m_window->findChildren<QWidget *>(name);
    QCOMPARE(found.size(), 1);
    QWidget *widget = found.first();
    QCOMPARE(widget->parentWidget(), m_window->clientArea());
    QVERIFY(widget->isVisible());
    QVERIFY(widget->isEnabled());

    QString shown;
    if (kind == QLatin1String("combo")) {
        auto *box = qobject_cast<QComboBox *>(widget);
        QVERIFY(box);
        QVERIFY(box->isEditable());
        QCOMPARE(box->count(), 0);
        QVERIFY(box->lineEdit()->alignment() & Qt::AlignLeft);
        QVERIFY(!box->lineEdit()->isReadOnly());
        shown = box->currentText();
    } else if (kind == QLatin1String("text")) {
        auto *field = qobject_cast<QLineEdit *>(widget);
        QVERIFY(field);
        QVERIFY(!field->isReadOnly());
        QVERIFY(field->alignment() & Qt::AlignLeft);
        shown = field->text();
    } else if (kind == QLatin1String("label")) {
        auto *label = qobject_cast<QLabel *>(widget);
        QVERIFY(label);
        // Tied to the field beside it, which takes the label's text as its
        // name; with no access key, the caption shows as designed.
        auto *field = qobject_cast<QLineEdit *>(label->buddy());
        QVERIFY(field);
        QCOMPARE(field->parentWidget(), m_window->clientArea());
        QVERIFY(!label->text().contains(u'&'));
        QCOMPARE(label->textFormat(), Qt::PlainText);
        shown = label->text();
    } else if (kind == QLatin1String("button")) {
        auto *button = qobject_cast<QPushButton *>(widget);
        QVERIFY(button);
        QVERIFY(!button->isDefault());
        QVERIFY(!button->autoDefault());
        shown = button->text();
    } else if (kind == QLatin1String("browser")) {
        QVERIFY(qobject_cast<WebBrowser *>(widget));
    } else if (kind == QLatin1String("toolbar")) {
        QVERIFY(qobject_cast<ToolBar *>(widget));
    } else if (kind == QLatin1String("statusbar")) {
        QVERIFY(qobject_cast<StatusBar *>(widget));
    } else {
        QFAIL("unknown kind in the table");
    }
    QCOMPARE(shown, text);
    QCOMPARE(takesTabFocus(widget), takesFocus);

    // The bars hang on the client area's edges, whose own size is rounded
    // once; allow them a pixel where the others get half of one.
    const bool docked = kind == QLatin1String("toolbar") || kind == QLatin1String("statusbar");
    const double slack = docked ? 1.0 : 0.5;
    const QRect r = widget->geometry();
    const QString where = describe(r) + QStringLiteral(" px at %1 dpi").arg(m_window->logicalDpiX());
    QVERIFY2(nearTwips(r.x(), twips.x(), m_window->logicalDpiX(), slack), qPrintable(where));
    QVERIFY2(nearTwips(r.y(), twips.y(), m_window->logicalDpiY(), slack), qPrintable(where));
    // A caption wider than the design allowed for (the platform's font, a
    // scaled display) grows its control to the right, or a wrapped label
    // downwards, but never into another control.
    const bool captioned = kind == QLatin1String("label") || kind == QLatin1String("button");
    if (captioned) {
        QVERIFY2(r.width() * 1440.0 / m_window->logicalDpiX() >= twips.width() - slack * 1440.0 / m_window->logicalDpiX(),
                 qPrintable(where));
        QVERIFY2(r.height() * 1440.0 / m_window->logicalDpiY() >= twips.height() - slack * 1440.0 / m_window->logicalDpiY(),
                 qPrintable(where));
        QVERIFY2(captionWhole(widget), qPrintable(where + QStringLiteral(": caption cut")));
        const QRect design(r.topLeft(), QSize(Twips::toPixels(twips.width(), m_window->logicalDpiX()),
                                              Twips::toPixels(twips.height(), m_window->logicalDpiY())));
        const QRect grownRight(design.right() + 1, r.top(), r.right() - design.right(), r.height());
        const QRect grownDown(r.left(), design.bottom() + 1, r.width(), r.bottom() - design.bottom());
        for (QWidget *other : m_window->clientArea()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (other == widget || qobject_cast<ToolBar *>(other) || qobject_cast<StatusBar *>(other))
                continue;
            QVERIFY2((r.width() <= design.width() || !grownRight.intersects(other->geometry()))
                         && (r.height() <= design.height() || !grownDown.intersects(other->geometry())),
                     qPrintable(where + QStringLiteral(" grows into ") + other->objectName()));
        }
        return;
    }
    QVERIFY2(nearTwips(r.width(), twips.width(), m_window->logicalDpiX(), slack), qPrintable(where));
    QVERIFY2(nearTwips(r.height(), twips.height(), m_window->logicalDpiY(), slack), qPrintable(where));
}

void FrmMainLayoutTest::windowAtStart()
{
    showActive();
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Project1"));
    QVERIFY(!m_window->windowIcon().isNull());
    QCOMPARE(m_window->windowState(), Qt::WindowNoState);
    const Qt::WindowFlags flags = m_window->windowFlags();
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(flags & Qt::WindowMaximizeButtonHint);
    QVERIFY(flags & Qt::WindowSystemMenuHint);
    QVERIFY(m_window->minimumSize().width() < m_window->width()); // resizable

    // The client area lies directly below the menu bar and has the design size.
    QWidget *client = m_window->clientArea();
    QCOMPARE(client->mapTo(m_window.get(), QPoint(0, 0)), QPoint(0, m_window->menuBar()->geometry().bottom() + 1));
    const QString size = describe(client->geometry());
    QVERIFY2(nearTwips(client->width(), 15120, m_window->logicalDpiX()), qPrintable(size));
    QVERIFY2(nearTwips(client->height(), 8172, m_window->logicalDpiY()), qPrintable(size));
    QCOMPARE(client->geometry().bottom(), m_window->rect().bottom());

    // The components without a place: present, never shown.
    QVERIFY(m_window->findChild<QObject *>(QStringLiteral("imlToolbarIcons")));
}

void FrmMainLayoutTest::browserBlankAtStart()
{
    showActive();
    auto *browser = m_window->findChild<WebBrowser *>(QStringLiteral("brwWebBrowser"));
    QVERIFY(browser);
    QCOMPARE(browser->ReadyState(), 0);
    QVERIFY(!browser->Document());
    QCOMPARE(browser->displayedText(), QString());
    QTest::qWait(100);
    QCOMPARE(browser->ReadyState(), 0);
}

void FrmMainLayoutTest::tabOrderFromInitialFocus()
{
    std::vector<Control> focusable;
    std::copy_if(std::begin(controls), std::end(controls), std::back_inserter(focusable),
                 [](const Control &c) { return c.takesFocus; });
    std::sort(focusable.begin(), focusable.end(),
              [](const Control &a, const Control &b) { return a.tabIndex < b.tabIndex; });

    showActive();
    QTRY_COMPARE(owner(QApplication::focusWidget()), str(focusable.front().name));

    QStringList visited;
    for (std::size_t i = 0; i < focusable.size(); ++i) {
        visited << owner(QApplication::focusWidget());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QStringList expected;
    for (const Control &c : focusable)
        expected << str(c.name);
    QCOMPARE(visited, expected);
    // Round again to the start.
    QCOMPARE(owner(QApplication::focusWidget()), expected.first());

    // Shift+Tab walks it backwards.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(owner(QApplication::focusWidget()), expected.last());
}

void FrmMainLayoutTest::menuBarTitles()
{
    const QList<QAction *> titles = m_window->menuBar()->actions();
    QStringList captions, names;
    for (QAction *title : titles) {
        QVERIFY(title->menu());
        captions << title->text();
        names << title->menu()->objectName();
    }
    QCOMPARE(captions, (QStringList{QStringLiteral("&File"), QStringLiteral("&Edit"), QStringLiteral("&View"),
                                    QStringLiteral("&Help")}));
    QCOMPARE(names, (QStringList{QStringLiteral("mnuFile"), QStringLiteral("mnuEdit"), QStringLiteral("mnuView"),
                                 QStringLiteral("mnuHelp")}));
}

void FrmMainLayoutTest::menuTree_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QKeySequence>("shortcut");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<bool>("checked");
    QHash<QString, int> positions;
    for (const MenuItem &m : menuItems) {
        const int position = positions[str(m.menu)]++;
        QTest::newRow(m.name) << str(m.menu) << position << str(m.name) << str(m.caption)
                              << QKeySequence(str(m.shortcut), QKeySequence::PortableText) << m.visible
                              << m.checked;
    }
}

void FrmMainLayoutTest::menuTree()
{
    QFETCH(QString, menu);
    QFETCH(int, position);
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QKeySequence, shortcut);
    QFETCH(bool, visible);
    QFETCH(bool, checked);

    auto *parent = m_window->menuBar()->findChild<QMenu *>(menu);
    QVERIFY(parent);
    const QList<QAction *> items = parent->actions();
    QVERIFY(position < items.size());
    QAction *item = items.at(position);
    QCOMPARE(item->objectName(), name);
    QCOMPARE(m_window->menuItem(name), item);

    if (caption == QLatin1String("-")) {
        QVERIFY(item->isSeparator());
    } else {
        QVERIFY(!item->isSeparator());
        QCOMPARE(item->text(), caption);
    }
    QCOMPARE(item->shortcuts(), shortcut.isEmpty() ? QList<QKeySequence>{} : QList<QKeySequence>{shortcut});
    QCOMPARE(item->isVisible(), visible);
    QCOMPARE(item->isChecked(), checked);
    QCOMPARE(item->isCheckable(), checked); // only the two bar items carry a check mark
    if (visible) {
        QVERIFY(item->isEnabled());
    } else {
        // Qt reports a hidden action as disabled; the item's own setting shows
        // once it is made visible.
        item->setVisible(true);
        QVERIFY(item->isEnabled());
        item->setVisible(false);
    }
    QVERIFY(!item->menu());

    // Nothing beyond the design's items.
    const int inMenu = int(std::count_if(std::begin(menuItems), std::end(menuItems),
                                         [&](const MenuItem &m) { return str(m.menu) == menu; }));
    QCOMPARE(items.size(), inMenu);
}

void FrmMainLayoutTest::fileMenuWithoutHiddenItems()
{
    showActive();
    auto *file = m_window->menuBar()->findChild<QMenu *>(QStringLiteral("mnuFile"));
    QList<QAction *> shown;
    for (QAction *a : file->actions()) {
        if (a->isVisible())
            shown << a;
    }
    QVERIFY(shown.size() >= 3);
    const QList<QAction *> tail = shown.mid(shown.size() - 3);
    QCOMPARE(tail.at(0)->text(), QStringLiteral("Sen&d..."));
    QVERIFY(tail.at(1)->isSeparator());
    QCOMPARE(tail.at(2)->text(), QStringLiteral("E&xit"));

    // As drawn: opening the menu shows no empty entry between them.
    file->popup(m_window->mapToGlobal(QPoint(0, 0)));
    QVERIFY(QTest::qWaitForWindowExposed(file));
    const QRect send = file->actionGeometry(tail.at(0));
    const QRect bar = file->actionGeometry(tail.at(1));
    const QRect exit = file->actionGeometry(tail.at(2));
    QCOMPARE(bar.top(), send.bottom() + 1);
    QCOMPARE(exit.top(), bar.bottom() + 1);
    for (const char *hidden : {"mnuFileMRU1", "mnuFileMRU2", "mnuFileMRU3", "mnuFileBar5"})
        QVERIFY2(file->actionGeometry(m_window->menuItem(str(hidden))).isEmpty(), hidden);
    file->hide();
}

void FrmMainLayoutTest::barsFollowTheClientWidth_data()
{
    QTest::addColumn<QSize>("change");
    QTest::addColumn<bool>("maximize");
    QTest::newRow("larger") << QSize(300, 160) << false;
    QTest::newRow("smaller") << QSize(-500, -260) << false;
    QTest::newRow("narrower only") << QSize(-700, 0) << false;
    QTest::newRow("maximized") << QSize() << true;
}

void FrmMainLayoutTest::barsFollowTheClientWidth()
{
    QFETCH(QSize, change);
    QFETCH(bool, maximize);
    showActive();
    QWidget *client = m_window->clientArea();
    QWidget *toolbar = control("tbToolBar");
    QWidget *status = control("sbStatusBar");
    const QHash<QString, QRect> before = placesExcept({QStringLiteral("tbToolBar"), QStringLiteral("sbStatusBar")});
    const QSize clientBefore = client->size();
    const int toolbarHeight = toolbar->height();
    const int statusHeight = status->height();

    if (maximize) {
        m_window->showMaximized();
        QTRY_VERIFY(m_window->windowState() & Qt::WindowMaximized);
        QTRY_VERIFY(client->size() != clientBefore);
    } else {
        m_window->resize(m_window->size() + change);
        QTRY_COMPARE(client->size(), clientBefore + change);
    }
    QTRY_COMPARE(toolbar->geometry(), QRect(0, 0, client->width(), toolbarHeight));
    QCOMPARE(status->geometry(), QRect(0, client->height() - statusHeight, client->width(), statusHeight));
    QCOMPARE(placesExcept({QStringLiteral("tbToolBar"), QStringLiteral("sbStatusBar")}), before);
    QVERIFY(toolbar->isVisible());
    QVERIFY(status->isVisible());

    // Back to the design size: the bars shrink with it again.
    m_window->showNormal();
    m_window->resize(m_window->size() + (client->size() - clientBefore) * -1);
    QTRY_COMPARE(client->size(), clientBefore);
    QTRY_COMPARE(toolbar->width(), clientBefore.width());
    QCOMPARE(status->geometry().bottom(), client->height() - 1);
}

void FrmMainLayoutTest::hidingABarMovesNothing_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("bar");
    QTest::newRow("toolbar") << QStringLiteral("mnuViewToolbar") << QStringLiteral("tbToolBar");
    QTest::newRow("status bar") << QStringLiteral("mnuViewStatusBar") << QStringLiteral("sbStatusBar");
}

void FrmMainLayoutTest::hidingABarMovesNothing()
{
    QFETCH(QString, item);
    QFETCH(QString, bar);
    showActive();
    QWidget *widget = m_window->findChild<QWidget *>(bar);
    QAction *action = m_window->menuItem(item);
    const QHash<QString, QRect> before = placesExcept({});
    const QSize clientBefore = m_window->clientArea()->size();

    action->trigger();
    QVERIFY(!widget->isVisible());
    QVERIFY(!action->isChecked());
    QTest::qWait(50);
    QCOMPARE(m_window->clientArea()->size(), clientBefore);
    QCOMPARE(placesExcept({}), before);

    action->trigger();
    QVERIFY(widget->isVisible());
    QVERIFY(action->isChecked());
    QTest::qWait(50);
    QCOMPARE(placesExcept({}), before);
    QVERIFY(m_fakes->messageBox.shown.isEmpty());
}

void FrmMainLayoutTest::shortcutsWinOverFields_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("prompt");
    const char *fields[] = {"txtSensorNum", "txtTemperature", "txtFileName", "txtRecNum", "cboAddress"};
    const struct
    {
        const char *label;
        Qt::Key key;
        const char *prompt;
    } keys[] = {
        {"Ctrl+C", Qt::Key_C, "Add 'mnuEditCopy_Click' code."},
        {"Ctrl+X", Qt::Key_X, "Add 'mnuEditCut_Click' code."},
        {"Ctrl+V", Qt::Key_V, "Add 'mnuEditPaste_Click' code."},
        {"Ctrl+N", Qt::Key_N, "Add 'mnuFileNew_Click' code."},
    };
    for (const char *field : fields) {
        for (const auto &k : keys)
            QTest::addRow("%s %s", field, k.label) << str(field) << int(k.key) << str(k.prompt);
    }
    // The page view inside the browser selects and copies text of its own.
    QTest::newRow("brwWebBrowser Ctrl+C") << QStringLiteral("brwWebBrowser") << int(Qt::Key_C)
                                          << QStringLiteral("Add 'mnuEditCopy_Click' code.");
}

void FrmMainLayoutTest::shortcutsWinOverFields()
{
    QFETCH(QString, field);
    QFETCH(int, key);
    QFETCH(QString, prompt);
    showActive();

    const QString typed = QStringLiteral("21.5");
    const QString clip = QStringLiteral("on the clipboard before");
    QGuiApplication::clipboard()->setText(clip);
    QWidget *target = m_window->findChild<QWidget *>(field);
    auto readBack = [&]() -> QString {
        if (auto *box = qobject_cast<QComboBox *>(target))
            return box->currentText();
        if (auto *edit = qobject_cast<QLineEdit *>(target))
            return edit->text();
        return QString();
    };
    if (auto *box = qobject_cast<QComboBox *>(target)) {
        box->setEditText(typed);
        box->lineEdit()->selectAll();
    } else if (auto *edit = qobject_cast<QLineEdit *>(target)) {
        edit->setText(typed);
        edit->selectAll();
    }
    target->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(owner(QApplication::focusWidget()), field);
    const QString before = readBack();

    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), Qt::ControlModifier);

    QCOMPARE(m_fakes->messageBox.shown.size(), 1);
    QCOMPARE(m_fakes->messageBox.shown.first().prompt, prompt);
    // The field's own copy, cut or paste did not run as well.
    QCOMPARE(QGuiApplication::clipboard()->text(), clip);
    QCOMPARE(readBack(), before);
    QCOMPARE(owner(QApplication::focusWidget()), field);
}

void FrmMainLayoutTest::altKeysOpenMenus_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("focus");
    const struct
    {
        Qt::Key key;
        const char *menu;
    } menus[] = {{Qt::Key_F, "mnuFile"}, {Qt::Key_E, "mnuEdit"}, {Qt::Key_V, "mnuView"}, {Qt::Key_H, "mnuHelp"}};
    for (const char *focus : {"brwWebBrowser", "txtTemperature", "cboAddress"}) {
        for (const auto &m : menus)
            QTest::addRow("%s from %s", m.menu, focus) << int(m.key) << str(m.menu) << str(focus);
    }
}

void FrmMainLayoutTest::altKeysOpenMenus()
{
    QFETCH(int, key);
    QFETCH(QString, menu);
    QFETCH(QString, focus);
    showActive();
    m_window->findChild<QWidget *>(focus)->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(owner(QApplication::focusWidget()), focus);
    auto *popup = m_window->menuBar()->findChild<QMenu *>(menu);
    QVERIFY(!popup->isVisible());

    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), Qt::AltModifier);

    QTRY_VERIFY(popup->isVisible());
    QCOMPARE(m_window->menuBar()->activeAction(), popup->menuAction());
    // The key opened the menu and nothing else.
    QVERIFY(m_fakes->messageBox.shown.isEmpty());
    const QList<QMenu *> menus = m_window->menuBar()->findChildren<QMenu *>();
    for (QMenu *other : menus) {
        if (other != popup)
            QVERIFY2(!other->isVisible(), qPrintable(other->objectName()));
    }
    popup->hide();
    QTRY_VERIFY(!popup->isVisible());
}

void FrmMainLayoutTest::toolbarClicksReachTheHandler_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("prompt");
    QTest::addColumn<int>("openDialogs");
    QTest::newRow("New") << QStringLiteral("New") << QStringLiteral("Add 'New' button code.") << 0;
    QTest::newRow("Open") << QStringLiteral("Open") << QString() << 1;
    QTest::newRow("Save") << QStringLiteral("Save") << QStringLiteral("Add 'mnuFileSave_Click' code.") << 0;
    QTest::newRow("Print") << QStringLiteral("Print") << QStringLiteral("Add 'mnuFilePrint_Click' code.") << 0;
    QTest::newRow("Cut") << QStringLiteral("Cut") << QStringLiteral("Add 'mnuEditCut_Click' code.") << 0;
    QTest::newRow("Copy") << QStringLiteral("Copy") << QStringLiteral("Add 'mnuEditCopy_Click' code.") << 0;
    QTest::newRow("Paste") << QStringLiteral("Paste") << QStringLiteral("Add 'mnuEditPaste_Click' code.") << 0;
    QTest::newRow("Bold") << QStringLiteral("Bold") << QStringLiteral("Add 'Bold' button code.") << 0;
    QTest::newRow("Italic") << QStringLiteral("Italic") << QStringLiteral("Add 'Italic' button code.") << 0;
    QTest::newRow("Underline") << QStringLiteral("Underline") << QStringLiteral("Add 'Underline' button code.") << 0;
    QTest::newRow("Align Left") << QStringLiteral("Align Left") << QStringLiteral("Add 'Align Left' button code.")
                                << 0;
    QTest::newRow("Center") << QStringLiteral("Center") << QStringLiteral("Add 'Center' button code.") << 0;
    QTest::newRow("Align Right") << QStringLiteral("Align Right") << QStringLiteral("Add 'Align Right' button code.")
                                 << 0;
}

void FrmMainLayoutTest::toolbarClicksReachTheHandler()
{
    QFETCH(QString, key);
    QFETCH(QString, prompt);
    QFETCH(int, openDialogs);
    showActive();
    auto *toolbar = m_window->findChild<ToolBar *>(QStringLiteral("tbToolBar"));
    QAction *action = toolbar->button(key);
    QVERIFY(action);
    QWidget *button = toolbar->widgetForAction(action);
    QVERIFY(button && button->isVisible());
    QCOMPARE(button->toolTip(), key);

    QTest::mouseClick(button, Qt::LeftButton);

    QCOMPARE(m_fakes->dialog.opens.size(), openDialogs);
    if (prompt.isEmpty()) {
        QVERIFY(m_fakes->messageBox.shown.isEmpty());
    } else {
        QCOMPARE(m_fakes->messageBox.shown.size(), 1);
        QCOMPARE(m_fakes->messageBox.shown.first().prompt, prompt);
    }
}

void FrmMainLayoutTest::alignmentButtonsFormOneGroup()
{
    showActive();
    auto *toolbar = m_window->findChild<ToolBar *>(QStringLiteral("tbToolBar"));
    const QStringList group = {QStringLiteral("Align Left"), QStringLiteral("Center"), QStringLiteral("Align Right")};
    auto pressed = [&] {
        QStringList down;
        for (const QString &key : group) {
            auto *button = qobject_cast<QToolButton *>(toolbar->widgetForAction(toolbar->button(key)));
            if (button && button->isChecked())
                down << key;
        }
        return down;
    };
    auto click = [&](const QString &key) { QTest::mouseClick(toolbar->widgetForAction(toolbar->button(key)), Qt::LeftButton); };

    QCOMPARE(pressed(), QStringList());
    click(QStringLiteral("Align Left"));
    QCOMPARE(pressed(), QStringList{QStringLiteral("Align Left")});
    click(QStringLiteral("Center"));
    QCOMPARE(pressed(), QStringList{QStringLiteral("Center")});
    click(QStringLiteral("Center")); // pressing the pressed one again keeps it
    QCOMPARE(pressed(), QStringList{QStringLiteral("Center")});

    QStringList prompts;
    for (const ShownBox &box : std::as_const(m_fakes->messageBox.shown))
        prompts << box.prompt;
    QCOMPARE(prompts, (QStringList{QStringLiteral("Add 'Align Left' button code."),
                                   QStringLiteral("Add 'Center' button code."),
                                   QStringLiteral("Add 'Center' button code.")}));
}

void FrmMainLayoutTest::pollingMovesNothing()
{
    sim::SimulatorOptions options;
    options.conversionMs = 0;
    sim::GatewaySimulator simulator(options);
    std::string error;
    QVERIFY2(simulator.start(&error), error.c_str());
    makeWindow(QStringLiteral("127.0.0.1:%1").arg(simulator.port()));
    showActive();
    const QHash<QString, QRect> before = placesExcept({});
    const QSize windowBefore = m_window->size();

    m_window->cycle().prepare();
    QVERIFY(m_window->cycle().runPass(11));
    QTest::qWait(50);

    // Texts changed, the list grew; the layout did not.
    QCOMPARE(m_window->findChild<QComboBox *>(QStringLiteral("cboAddress"))->count(), 11);
    QCOMPARE(m_window->findChild<QLineEdit *>(QStringLiteral("txtSensorNum"))->text(), QStringLiteral("11"));
    QCOMPARE(placesExcept({}), before);
    QCOMPARE(m_window->size(), windowBefore);
}

QTEST_MAIN(FrmMainLayoutTest)
#include "frmmain_layout_test.moc"
