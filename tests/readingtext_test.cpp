#include "readingtext.h"

#include <QTest>

#include <optional>

Q_DECLARE_METATYPE(std::optional<float>)

class ReadingTextTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parse_data();
    void parse();
};

void ReadingTextTest::parse_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<std::optional<float>>("expected");

    const std::optional<float> none;
    const QString us = QStringLiteral("en_US");
    const QString de = QStringLiteral("de_DE");

    QTest::newRow("us point") << us << QStringLiteral("21.5625") << std::optional<float>(21.5625f);
    QTest::newRow("us negative") << us << QStringLiteral("-0.25") << std::optional<float>(-0.25f);
    QTest::newRow("us plus sign") << us << QStringLiteral("+3") << std::optional<float>(3.0f);
    QTest::newRow("us whole") << us << QStringLiteral("85") << std::optional<float>(85.0f);
    QTest::newRow("us leading point") << us << QStringLiteral(".5") << std::optional<float>(0.5f);
    QTest::newRow("us trailing point") << us << QStringLiteral("21.") << std::optional<float>(21.0f);
    QTest::newRow("us surrounding blanks") << us << QStringLiteral("  21.5 ") << std::optional<float>(21.5f);
    QTest::newRow("us group separator") << us << QStringLiteral("1,234") << none;
    QTest::newRow("de point still a decimal point") << de << QStringLiteral("21.5") << std::optional<float>(21.5f);
    QTest::newRow("de comma") << de << QStringLiteral("21,5") << std::optional<float>(21.5f);
    QTest::newRow("de both separators") << de << QStringLiteral("1.234,5") << none;
    QTest::newRow("fr comma") << QStringLiteral("fr_FR") << QStringLiteral("-55,5") << std::optional<float>(-55.5f);
    QTest::newRow("fr no-break space grouping") << QStringLiteral("fr_FR") << QStringLiteral("1\u202F234,5") << none;
    QTest::newRow("ar_EG point") << QStringLiteral("ar_EG") << QStringLiteral("-0.25") << std::optional<float>(-0.25f);
    QTest::newRow("ar_EG own form") << QStringLiteral("ar_EG") << QStringLiteral("\u061C-\u0662\u0661\u066B\u0665")
                                    << std::optional<float>(-21.5f);
    QTest::newRow("two points") << us << QStringLiteral("1.2.3") << none;
    QTest::newRow("empty") << us << QString() << none;
    QTest::newRow("blank") << us << QStringLiteral("   ") << none;
    QTest::newRow("sign alone") << us << QStringLiteral("-") << none;
    QTest::newRow("point alone") << us << QStringLiteral(".") << none;
    QTest::newRow("word") << us << QStringLiteral("n/a") << none;
    QTest::newRow("nan") << us << QStringLiteral("nan") << none;
    QTest::newRow("inf") << us << QStringLiteral("inf") << none;
    QTest::newRow("exponent") << us << QStringLiteral("1e3") << none;
    QTest::newRow("hex") << us << QStringLiteral("0x1A") << none;
    QTest::newRow("unit after value") << us << QStringLiteral("21.5C") << none;
    QTest::newRow("beyond single precision") << us << QStringLiteral("1") + QString(40, u'0') << none;
}

void ReadingTextTest::parse()
{
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QFETCH(std::optional<float>, expected);

    const std::optional<float> got = kestrin::readingFromText(text, QLocale(locale));
    QCOMPARE(got.has_value(), expected.has_value());
    if (expected)
        QCOMPARE(*got, *expected);
}

QTEST_GUILESS_MAIN(ReadingTextTest)
#include "readingtext_test.moc"
