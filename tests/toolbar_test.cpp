#include "toolbar.h"
#include "toolbaricons.h"

#include <QAction>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using namespace kestrin;

Q_DECLARE_METATYPE(ToolBar::Position::Style)

namespace {

const QStringList alignmentKeys = {QStringLiteral("Align Left"), QStringLiteral("Center"),
                                   QStringLiteral("Align Right")};

// The 16 colours an image may use.
const QSet<QRgb> classicPalette = {
    0xFF000000, 0xFF800000, 0xFF008000, 0xFF808000, 0xFF000080, 0xFF800080, 0xFF008080, 0xFF808080,
    0xFFC0C0C0, 0xFFFF0000, 0xFF00FF00, 0xFFFFFF00, 0xFF0000FF, 0xFFFF00FF, 0xFF00FFFF, 0xFFFFFFFF,
};

struct PixelCensus
{
    QSet<QRgb> opaque;
    int transparent = 0;
    int partial = 0;
};

PixelCensus census(const QPixmap &pixmap)
{
    PixelCensus result;
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (qAlpha(p) == 255)
                result.opaque.insert(p);
            else if (qAlpha(p) == 0)
                ++result.transparent;
            else
                ++result.partial;
        }
    }
    return result;
}

} // namespace

class ToolBarTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void positions_data();
    void positions();
    void separatorsAreNotClickable();
    void clicks_data();
    void clicks();
    void alignmentGroup_data();
    void alignmentGroup();
    void fitsItsHeight();
    void unknownKeys();

    void images_data();
    void images();
    void imagesDiffer();

private:
    QToolButton *toolButton(QAction *action) const;

    ToolbarIcons *m_images = nullptr;
    QWidget *m_window = nullptr;
    ToolBar *m_bar = nullptr;
};

void ToolBarTest::init()
{
    // The bar lives as a plain child of the window, placed by hand.
    m_images = new ToolbarIcons;
    m_window = new QWidget;
    m_window->resize(1008, 545);
    m_bar = new ToolBar(*m_images, m_window);
    m_bar->setGeometry(0, 0, 1008, m_bar->sizeHint().height());
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
}

void ToolBarTest::cleanup()
{
    delete m_window;
    delete m_images;
}

QToolButton *ToolBarTest::toolButton(QAction *action) const
{
    return qobject_cast<QToolButton *>(m_bar->widgetForAction(action));
}

void ToolBarTest::positions_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("key");
    QTest::addColumn<ToolBar::Position::Style>("style");

    using P = ToolBar::Position;
    const QList<QPair<QString, P::Style>> expected = {
        {QStringLiteral("New"), P::Button},        {QStringLiteral("Open"), P::Button},
        {QStringLiteral("Save"), P::Button},       {QString(), P::Separator},
        {QStringLiteral("Print"), P::Button},      {QString(), P::Separator},
        {QStringLiteral("Cut"), P::Button},        {QStringLiteral("Copy"), P::Button},
        {QStringLiteral("Paste"), P::Button},      {QString(), P::Separator},
        {QStringLiteral("Bold"), P::Button},       {QStringLiteral("Italic"), P::Button},
        {QStringLiteral("Underline"), P::Button},  {QString(), P::Separator},
        {QStringLiteral("Align Left"), P::Group},  {QStringLiteral("Center"), P::Group},
        {QStringLiteral("Align Right"), P::Group},
    };
    for (int i = 0; i < expected.size(); ++i) {
        const QString name = QStringLiteral("%1 %2").arg(i + 1).arg(expected[i].first.isEmpty() ? QStringLiteral("separator") : expected[i].first);
        QTest::newRow(qPrintable(name)) << i << expected[i].first << expected[i].second;
    }
}

void ToolBarTest::positions()
{
    QFETCH(int, index);
    QFETCH(QString, key);
    QFETCH(ToolBar::Position::Style, style);

    const QList<QAction *> actions = m_bar->actions();
    QCOMPARE(actions.size(), 17);
    QCOMPARE(ToolBar::positions().size(), 17);
    QCOMPARE(ToolBar::positions().at(index).key, key);
    QCOMPARE(ToolBar::positions().at(index).style, style);

    QAction *action = actions.at(index);
    QCOMPARE(ToolBar::Key(action), key);
    if (style == ToolBar::Position::Separator) {
        QVERIFY(action->isSeparator());
        QVERIFY(action->icon().isNull());
        QVERIFY(!toolButton(action));
        return;
    }

    QVERIFY(!action->isSeparator());
    QCOMPARE(m_bar->button(key), action);
    QCOMPARE(action->objectName(), key);
    QCOMPARE(action->toolTip(), key);
    QCOMPARE(action->isCheckable(), style == ToolBar::Position::Group);
    QVERIFY(!action->isChecked());

    QToolButton *tool = toolButton(action);
    QVERIFY(tool);
    QCOMPARE(tool->toolButtonStyle(), Qt::ToolButtonIconOnly);
    QCOMPARE(tool->iconSize(), QSize(16, 16));
    QCOMPARE(tool->focusPolicy(), Qt::NoFocus);
    QVERIFY(tool->isVisible());

    // The button shows the image list's picture of the same key.
    const QImage shown = action->icon().pixmap(QSize(16, 16)).toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage listed = m_images->pixmap(key).toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(shown.size(), QSize(16, 16));
    QCOMPARE(shown, listed);
}

void ToolBarTest::separatorsAreNotClickable()
{
    QSignalSpy spy(m_bar, &ToolBar::ButtonClick);
    int separators = 0;
    for (QAction *action : m_bar->actions()) {
        if (!action->isSeparator())
            continue;
        ++separators;
        QWidget *gap = m_bar->widgetForAction(action);
        QVERIFY(gap);
        QVERIFY(!qobject_cast<QAbstractButton *>(gap));
        QTest::mouseClick(gap, Qt::LeftButton, {}, gap->rect().center());
        action->trigger();
    }
    QCOMPARE(separators, 4);
    QCOMPARE(spy.count(), 0);
}

void ToolBarTest::clicks_data()
{
    QTest::addColumn<QString>("key");
    for (const ToolBar::Position &position : ToolBar::positions()) {
        if (position.style != ToolBar::Position::Separator)
            QTest::newRow(qPrintable(position.key)) << position.key;
    }
}

void ToolBarTest::clicks()
{
    QFETCH(QString, key);
    QSignalSpy spy(m_bar, &ToolBar::ButtonClick);
    QAction *action = m_bar->button(key);
    QVERIFY(action);
    QTest::mouseClick(toolButton(action), Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    auto *clicked = spy.at(0).at(0).value<QAction *>();
    QCOMPARE(clicked, action);
    QCOMPARE(ToolBar::Key(clicked), key);
}

void ToolBarTest::alignmentGroup_data()
{
    QTest::addColumn<QStringList>("presses");
    QTest::addColumn<QString>("pressed"); // the one alignment button left pressed, empty for none

    const QString left = QStringLiteral("Align Left");
    const QString center = QStringLiteral("Center");
    const QString right = QStringLiteral("Align Right");
    const QString bold = QStringLiteral("Bold");
    QTest::newRow("at start") << QStringList() << QString();
    QTest::newRow("left") << QStringList{left} << left;
    QTest::newRow("left then center") << QStringList{left, center} << center;
    QTest::newRow("center twice") << QStringList{center, center} << center;
    QTest::newRow("right left right") << QStringList{right, left, right} << right;
    QTest::newRow("left then bold") << QStringList{left, bold} << left;
    QTest::newRow("bold alone") << QStringList{bold} << QString();
    QTest::newRow("all three, last again") << QStringList{left, center, right, right} << right;
}

void ToolBarTest::alignmentGroup()
{
    QFETCH(QStringList, presses);
    QFETCH(QString, pressed);

    QSignalSpy spy(m_bar, &ToolBar::ButtonClick);
    for (const QString &key : presses)
        QTest::mouseClick(toolButton(m_bar->button(key)), Qt::LeftButton);

    // Every press reaches the click handler, a press on the pressed button too.
    QCOMPARE(spy.count(), presses.size());
    for (int i = 0; i < presses.size(); ++i)
        QCOMPARE(ToolBar::Key(spy.at(i).at(0).value<QAction *>()), presses.at(i));

    for (const QString &key : alignmentKeys) {
        QCOMPARE(m_bar->button(key)->isChecked(), key == pressed);
        QCOMPARE(toolButton(m_bar->button(key))->isChecked(), key == pressed);
    }
    QVERIFY(!m_bar->button(QStringLiteral("Bold"))->isChecked());
}

void ToolBarTest::fitsItsHeight()
{
    const int height = (336 * m_bar->logicalDpiY() + 720) / 1440;
    QCOMPARE(m_bar->sizeHint().height(), height);
    m_bar->setGeometry(0, 0, 1008, height);
    QCoreApplication::processEvents();
    QCOMPARE(m_bar->height(), height);
    QVERIFY(m_bar->focusPolicy() == Qt::NoFocus);
    int lastRight = -1;
    for (QAction *action : m_bar->actions()) {
        QWidget *item = m_bar->widgetForAction(action);
        QVERIFY(item);
        QVERIFY2(m_bar->rect().contains(item->geometry()), qPrintable(ToolBar::Key(action)));
        QVERIFY(item->geometry().left() > lastRight); // left to right, in table order
        lastRight = item->geometry().right();
    }
}

void ToolBarTest::unknownKeys()
{
    QVERIFY(!m_bar->button(QStringLiteral("new")));
    QVERIFY(!m_bar->button(QString()));
    QCOMPARE(ToolBar::Key(nullptr), QString());
    QAction foreign;
    QCOMPARE(ToolBar::Key(&foreign), QString());
    QVERIFY(m_images->icon(QStringLiteral("bold")).isNull());
    QVERIFY(m_images->pixmap(QStringLiteral("Strike")).isNull());
}

void ToolBarTest::images_data()
{
    QTest::addColumn<QString>("key"); // empty: the application icon
    QTest::addColumn<int>("side");
    const QStringList keys = {
        QStringLiteral("New"),  QStringLiteral("Open"),      QStringLiteral("Save"),
        QStringLiteral("Print"), QStringLiteral("Cut"),      QStringLiteral("Copy"),
        QStringLiteral("Paste"), QStringLiteral("Bold"),     QStringLiteral("Italic"),
        QStringLiteral("Underline"), QStringLiteral("Align Left"), QStringLiteral("Center"),
        QStringLiteral("Align Right"),
    };
    ToolbarIcons images;
    QCOMPARE(images.keys(), keys);
    for (const QString &key : keys)
        QTest::newRow(qPrintable(key)) << key << 16;
    QTest::newRow("application icon") << QString() << 32;
}

void ToolBarTest::images()
{
    QFETCH(QString, key);
    QFETCH(int, side);

    const QPixmap pixmap = key.isEmpty() ? ToolbarIcons::applicationPixmap() : m_images->pixmap(key);
    const QIcon icon = key.isEmpty() ? ToolbarIcons::applicationIcon() : m_images->icon(key);
    QCOMPARE(pixmap.size(), QSize(side, side));
    QVERIFY(pixmap.hasAlpha());
    QCOMPARE(icon.availableSizes(), QList<QSize>{QSize(side, side)});

    const PixelCensus c = census(pixmap);
    QCOMPARE(c.partial, 0);
    QVERIFY(c.transparent > 0);
    QVERIFY(!c.opaque.isEmpty());
    QVERIFY(c.opaque.size() <= 16);
    for (QRgb colour : c.opaque)
        QVERIFY2(classicPalette.contains(colour), qPrintable(QString::number(colour, 16)));
    // Silver is the transparent colour, so none of it is left opaque.
    QVERIFY(!c.opaque.contains(ToolbarIcons::transparentColour));

    // The pictures leave their corners to the background.
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
}

void ToolBarTest::imagesDiffer()
{
    const QStringList keys = m_images->keys();
    for (int i = 0; i < keys.size(); ++i) {
        const QImage a = m_images->pixmap(keys[i]).toImage().convertToFormat(QImage::Format_ARGB32);
        for (int j = i + 1; j < keys.size(); ++j) {
            const QImage b = m_images->pixmap(keys[j]).toImage().convertToFormat(QImage::Format_ARGB32);
            QVERIFY2(a != b, qPrintable(keys[i] + QLatin1String(" = ") + keys[j]));
        }
    }
}

QTEST_MAIN(ToolBarTest)
#include "toolbar_test.moc"
