#include "statusbar.h"

#include "localeformats.h"

#include <QLabel>
#include <QLocale>
#include <QTest>
#include <QTimer>

using namespace kestrin;

namespace {
const QDateTime afternoon(QDate(2026, 12, 8), QTime(16, 5, 42, 300));
} // namespace

class StatusBarTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup();

    void dateAndTime_data();
    void dateAndTime();
    void fourDigitYear_data();
    void fourDigitYear();
    void nextMinute_data();
    void nextMinute();

    void firstPanelAndBevels();
    void panelTextRoundTrip_data();
    void panelTextRoundTrip();
    void widths();
    void firstPanelSprings();
    void refreshAtNewMinute();
    void keepsItselfCurrent();

private:
    static QLabel *panel(StatusBar &bar, int n)
    {
        return bar.findChild<QLabel *>(QStringLiteral("sbStatusBar.panel%1").arg(n));
    }
};

void StatusBarTest::cleanup()
{
    QLocale::setDefault(QLocale::c());
}

void StatusBarTest::dateAndTime_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("time");

    const QDateTime morning(QDate(2031, 3, 4), QTime(9, 7, 0));
    QTest::newRow("en_US") << QStringLiteral("en_US") << afternoon << QStringLiteral("12/8/2026") << QStringLiteral("4:05 PM");
    QTest::newRow("de_DE") << QStringLiteral("de_DE") << afternoon << QStringLiteral("08.12.2026") << QStringLiteral("16:05");
    QTest::newRow("en_GB") << QStringLiteral("en_GB") << afternoon << QStringLiteral("08/12/2026") << QStringLiteral("16:05");
    QTest::newRow("en_US morning") << QStringLiteral("en_US") << morning << QStringLiteral("3/4/2031") << QStringLiteral("9:07 AM");
    QTest::newRow("de_DE morning") << QStringLiteral("de_DE") << morning << QStringLiteral("04.03.2031") << QStringLiteral("09:07");
    QTest::newRow("en_US midnight") << QStringLiteral("en_US") << QDateTime(QDate(2030, 1, 1), QTime(0, 0)) << QStringLiteral("1/1/2030") << QStringLiteral("12:00 AM");
    // The C locale's short time format has seconds; the panel shows none.
    QTest::newRow("C locale") << QStringLiteral("C") << afternoon << QStringLiteral("8 Dec 2026") << QStringLiteral("16:05");
}

void StatusBarTest::dateAndTime()
{
    QFETCH(QString, locale);
    QFETCH(QDateTime, now);
    QFETCH(QString, date);
    QFETCH(QString, time);

    QLocale::setDefault(QLocale(locale));
    StatusBar bar([now] { return now; });
    QCOMPARE(bar.panelText(2), date);
    QCOMPARE(bar.panelText(3), time);
}

void StatusBarTest::fourDigitYear_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("widened");
    QTest::newRow("US") << QStringLiteral("M/d/yy") << QStringLiteral("M/d/yyyy");
    QTest::newRow("German") << QStringLiteral("dd.MM.yy") << QStringLiteral("dd.MM.yyyy");
    QTest::newRow("already four") << QStringLiteral("dd/MM/yyyy") << QStringLiteral("dd/MM/yyyy");
    QTest::newRow("year first, one y") << QStringLiteral("y-M-d") << QStringLiteral("yyyy-M-d");
    QTest::newRow("quoted y kept") << QStringLiteral("d 'by' yy") << QStringLiteral("d 'by' yyyy");
    QTest::newRow("escaped quote") << QStringLiteral("d''yy") << QStringLiteral("d''yyyy");
    QTest::newRow("no year") << QStringLiteral("d.M.") << QStringLiteral("d.M.");
}

void StatusBarTest::fourDigitYear()
{
    QFETCH(QString, format);
    QFETCH(QString, widened);
    QCOMPARE(LocaleFormats::withFourDigitYear(format), widened);
}

void StatusBarTest::nextMinute_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<int>("msecs");
    const QDate day(2026, 12, 8);
    QTest::newRow("on the minute") << QDateTime(day, QTime(16, 5, 0, 0)) << 60000;
    QTest::newRow("inside") << afternoon << 17700;
    QTest::newRow("last millisecond") << QDateTime(day, QTime(23, 59, 59, 999)) << 1;
    QTest::newRow("invalid") << QDateTime() << 60000;
}

void StatusBarTest::nextMinute()
{
    QFETCH(QDateTime, now);
    QFETCH(int, msecs);
    QCOMPARE(StatusBar::msecsToNextMinute(now), msecs);

    // The bar's own timer waits exactly that long, once.
    StatusBar bar([now] { return now; });
    auto *timer = bar.findChild<QTimer *>(QStringLiteral("sbStatusBar.clock"));
    QVERIFY(timer);
    QVERIFY(timer->isActive());
    QVERIFY(timer->isSingleShot());
    QCOMPARE(timer->interval(), msecs);
}

void StatusBarTest::firstPanelAndBevels()
{
    StatusBar bar([] { return afternoon; });
    QCOMPARE(bar.objectName(), QStringLiteral("sbStatusBar"));
    QCOMPARE(bar.panelText(1), QStringLiteral("Status"));
    QCOMPARE(bar.focusPolicy(), Qt::NoFocus);
    for (int n = 1; n <= 3; ++n) {
        QLabel *label = panel(bar, n);
        QVERIFY(label);
        QCOMPARE(label->frameShape(), QFrame::Panel);
        QCOMPARE(label->frameShadow(), QFrame::Sunken);
        QVERIFY(label->alignment() & Qt::AlignLeft);
    }
    QCOMPARE(bar.sizeHint().height(), (276 * bar.logicalDpiY() + 720) / 1440);
}

void StatusBarTest::panelTextRoundTrip_data()
{
    QTest::addColumn<int>("panel");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("1") << 1 << true;
    QTest::newRow("2") << 2 << true;
    QTest::newRow("3") << 3 << true;
    QTest::newRow("0") << 0 << false;
    QTest::newRow("4") << 4 << false;
    QTest::newRow("-1") << -1 << false;
}

void StatusBarTest::panelTextRoundTrip()
{
    QFETCH(int, panel);
    QFETCH(bool, accepted);
    StatusBar bar([] { return afternoon; });
    const QStringList before = {bar.panelText(1), bar.panelText(2), bar.panelText(3)};
    const QString text = QStringLiteral("records are not being written: disk full");

    QCOMPARE(bar.setPanelText(panel, text), accepted);
    for (int n = 1; n <= 3; ++n)
        QCOMPARE(bar.panelText(n), n == panel ? text : before.at(n - 1));
    if (!accepted)
        QCOMPARE(bar.panelText(panel), QString());

    QVERIFY(bar.setPanelText(1, QStringLiteral("Status")));
    QCOMPARE(bar.panelText(1), QStringLiteral("Status"));
}

void StatusBarTest::widths()
{
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    StatusBar bar([] { return afternoon; });
    bar.setGeometry(0, 0, 1008, bar.sizeHint().height());
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    const int minimum = (1440 * bar.logicalDpiX() + 720) / 1440;
    for (int n = 1; n <= 3; ++n) {
        QCOMPARE(panel(bar, n)->minimumWidth(), minimum);
        QVERIFY(panel(bar, n)->width() >= minimum);
    }
    // Short texts get the minimum; a text that needs more widens its panel to fit.
    QCOMPARE(panel(bar, 3)->width(), qMax(minimum, panel(bar, 3)->sizeHint().width()));
    bar.setPanelText(3, QStringLiteral("a considerably longer text than any time of day"));
    QCoreApplication::processEvents();
    QVERIFY(panel(bar, 3)->width() > minimum);
    QCOMPARE(panel(bar, 3)->width(), panel(bar, 3)->sizeHint().width());
    QCOMPARE(panel(bar, 3)->geometry().right(), bar.width() - 1);
}

void StatusBarTest::firstPanelSprings()
{
    StatusBar bar([] { return afternoon; });
    bar.setGeometry(0, 0, 600, bar.sizeHint().height());
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    const QRect first = panel(bar, 1)->geometry();
    const QRect second = panel(bar, 2)->geometry();
    const QRect third = panel(bar, 3)->geometry();
    QVERIFY(first.right() < second.left());
    QVERIFY(second.right() < third.left());
    QCOMPARE(third.right(), 599);

    bar.resize(1000, bar.height());
    QCoreApplication::processEvents();
    QCOMPARE(panel(bar, 1)->width(), first.width() + 400);
    QCOMPARE(panel(bar, 2)->width(), second.width());
    QCOMPARE(panel(bar, 3)->width(), third.width());
    QCOMPARE(panel(bar, 3)->geometry().right(), 999);
}

void StatusBarTest::refreshAtNewMinute()
{
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    QDateTime now(QDate(2026, 12, 31), QTime(23, 59, 30));
    StatusBar bar([&now] { return now; });
    QCOMPARE(bar.panelText(2), QStringLiteral("12/31/2026"));
    QCOMPARE(bar.panelText(3), QStringLiteral("11:59 PM"));

    now = QDateTime(QDate(2027, 1, 1), QTime(0, 0, 0, 5));
    bar.refresh();
    QCOMPARE(bar.panelText(2), QStringLiteral("1/1/2027"));
    QCOMPARE(bar.panelText(3), QStringLiteral("12:00 AM"));
    QCOMPARE(bar.panelText(1), QStringLiteral("Status"));
}

void StatusBarTest::keepsItselfCurrent()
{
    QLocale::setDefault(QLocale(QStringLiteral("de_DE")));
    QDateTime now(QDate(2026, 12, 8), QTime(16, 5, 59, 950));
    StatusBar bar([&now] { return now; });
    QCOMPARE(bar.panelText(3), QStringLiteral("16:05"));

    // Only the bar's own timer can bring the new minute in.
    now = QDateTime(QDate(2026, 12, 8), QTime(16, 6, 0, 10));
    QTRY_COMPARE_WITH_TIMEOUT(bar.panelText(3), QStringLiteral("16:06"), 2000);
    auto *timer = bar.findChild<QTimer *>(QStringLiteral("sbStatusBar.clock"));
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 59990);
}

QTEST_MAIN(StatusBarTest)
#include "statusbar_test.moc"
