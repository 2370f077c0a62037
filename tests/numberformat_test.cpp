#include "numberformat.h"

#include <QTest>

using kestrin::NumberFormat;

class NumberFormatTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void forms_data();
    void forms();
};

void NumberFormatTest::forms_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("print");

    const QString us = QStringLiteral("en_US");
    const QString de = QStringLiteral("de_DE");
    QTest::newRow("fraction") << us << 21.5f << QStringLiteral("21.5") << QStringLiteral(" 21.5 ");
    QTest::newRow("sixteenths") << us << 22.0625f << QStringLiteral("22.0625") << QStringLiteral(" 22.0625 ");
    QTest::newRow("whole") << us << 19.0f << QStringLiteral("19") << QStringLiteral(" 19 ");
    QTest::newRow("zero") << us << 0.0f << QStringLiteral("0") << QStringLiteral(" 0 ");
    QTest::newRow("negative zero") << us << -0.0f << QStringLiteral("0") << QStringLiteral(" 0 ");
    QTest::newRow("below one") << us << 0.5f << QStringLiteral("0.5") << QStringLiteral(" .5 ");
    QTest::newRow("negative below one") << us << -0.25f << QStringLiteral("-0.25") << QStringLiteral("-.25 ");
    QTest::newRow("negative") << us << -10.125f << QStringLiteral("-10.125") << QStringLiteral("-10.125 ");
    QTest::newRow("seven digits") << us << 1234.567f << QStringLiteral("1234.567") << QStringLiteral(" 1234.567 ");
    QTest::newRow("rounded to seven") << us << (1.0f / 3.0f) << QStringLiteral("0.3333333") << QStringLiteral(" .3333333 ");
    QTest::newRow("no group separator") << us << 1234567.0f << QStringLiteral("1234567") << QStringLiteral(" 1234567 ");
    QTest::newRow("large") << us << 12345678.0f << QStringLiteral("1.234568E+07") << QStringLiteral(" 1.234568E+07 ");
    QTest::newRow("tiny") << us << 0.00001f << QStringLiteral("1E-05") << QStringLiteral(" 1E-05 ");
    QTest::newRow("de fraction") << de << 21.5f << QStringLiteral("21,5") << QStringLiteral(" 21,5 ");
    QTest::newRow("de below one") << de << -0.25f << QStringLiteral("-0,25") << QStringLiteral("-,25 ");
    QTest::newRow("de no group separator") << de << 1234.5f << QStringLiteral("1234,5") << QStringLiteral(" 1234,5 ");
    QTest::newRow("power-on value") << de << 85.0f << QStringLiteral("85") << QStringLiteral(" 85 ");
    QTest::newRow("fr below one") << QStringLiteral("fr_FR") << 0.5f << QStringLiteral("0,5") << QStringLiteral(" ,5 ");
    QTest::newRow("ja negative") << QStringLiteral("ja_JP") << -55.5f << QStringLiteral("-55.5") << QStringLiteral("-55.5 ");
    QTest::newRow("C below one") << QStringLiteral("C") << -0.0625f << QStringLiteral("-0.0625") << QStringLiteral("-.0625 ");
    // The window may use the locale's own digits; the file never does, and
    // its separator then is the one that goes with ASCII digits.
    QTest::newRow("ar_EG") << QStringLiteral("ar_EG") << -10.125f
                           << QStringLiteral("\u061C-\u0661\u0660\u066B\u0661\u0662\u0665") << QStringLiteral("-10.125 ");
    QTest::newRow("fa_IR") << QStringLiteral("fa_IR") << 0.5f << QStringLiteral("\u06F0\u066B\u06F5")
                           << QStringLiteral(" .5 ");
    QTest::newRow("bn_BD") << QStringLiteral("bn_BD") << 21.5f << QStringLiteral("\u09E8\u09E7.\u09EB")
                           << QStringLiteral(" 21.5 ");
}

void NumberFormatTest::forms()
{
    QFETCH(QString, locale);
    QFETCH(float, value);
    QFETCH(QString, display);
    QFETCH(QString, print);

    QCOMPARE(NumberFormat::displayText(value, QLocale(locale)), display);
    QCOMPARE(NumberFormat::printForm(value, QLocale(locale)), print);
}

QTEST_GUILESS_MAIN(NumberFormatTest)
#include "numberformat_test.moc"
