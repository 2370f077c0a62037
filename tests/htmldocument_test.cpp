#include "htmldocument.h"

#include <QTest>
#include <QThread>

#include <sys/resource.h>

#include <memory>
#include <utility>

using kestrin::HtmlDocument;

class HtmlDocumentTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void value_data();
    void value();
    void rendering_data();
    void rendering();
    void elementOutlivesMove();
    void deepNesting_data();
    void deepNesting();
};

void HtmlDocumentTest::value_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<bool>("found");
    QTest::addColumn<bool>("hasValue");
    QTest::addColumn<QString>("value");

    const QByteArray html = "text/html";
    const QString degrees = QStringLiteral("21.5\u00B0C");

    QTest::newRow("plain input")
        << QByteArray("<html><body><input type=\"text\" id=\"Temperature_0\" value=\"21.5\"></body></html>")
        << html << true << true << QStringLiteral("21.5");
    QTest::newRow("upper-case tags and attributes")
        << QByteArray("<HTML><BODY><INPUT ID=Temperature_0 VALUE=21.5></BODY></HTML>") << html << true << true
        << QStringLiteral("21.5");
    QTest::newRow("unquoted and single-quoted")
        << QByteArray("<input type=text name='t' id=Temperature_0 value=-3.25>") << html << true << true
        << QStringLiteral("-3.25");
    QTest::newRow("inside a table")
        << QByteArray("<table border=1><tr><td>Sensor</td><td><input id=\"Temperature_0\" value=\"18.0625\"></td>"
                      "</tr></table>")
        << html << true << true << QStringLiteral("18.0625");
    QTest::newRow("name without id")
        << QByteArray("<form action=x><input type=text name=Temperature_0 value=19.5></form>") << html << true
        << true << QStringLiteral("19.5");
    QTest::newRow("span has no value property")
        << QByteArray("<p>Temp: <span id=Temperature_0>21.5</span></p>") << html << true << false << QString();
    QTest::newRow("td has no value property")
        << QByteArray("<table><tr><td id=Temperature_0>21.5</td></tr></table>") << html << true << false
        << QString();
    QTest::newRow("first of two ids wins")
        << QByteArray("<input id=Temperature_0 value=1><input id=Temperature_0 value=2>") << html << true << true
        << QStringLiteral("1");
    QTest::newRow("id beats an earlier name")
        << QByteArray("<input name=Temperature_0 value=1><input id=Temperature_0 value=2>") << html << true
        << true << QStringLiteral("2");
    QTest::newRow("id is case-sensitive")
        << QByteArray("<input id=temperature_0 value=1>") << html << false << false << QString();
    QTest::newRow("unclosed markup")
        << QByteArray("<html><body><table><tr><td><form><input id='Temperature_0' value='22.5'><p>open <b>bold")
        << html << true << true << QStringLiteral("22.5");
    QTest::newRow("markup in a script is not an element")
        << QByteArray("<script>document.write('<input id=\"Temperature_0\" value=\"9\">');</script>") << html
        << false << false << QString();
    QTest::newRow("markup in a comment is not an element")
        << QByteArray("<!-- <input id=Temperature_0 value=9> --><p>x</p>") << html << false << false << QString();
    QTest::newRow("Latin-1 by header")
        << QByteArray("<input id=Temperature_0 value=\"21.5\xB0" "C\">") << QByteArray("text/html; charset=ISO-8859-1")
        << true << true << degrees;
    QTest::newRow("Latin-1 by meta charset")
        << QByteArray("<head><meta charset=\"iso-8859-1\"></head><input id=Temperature_0 value=\"21.5\xB0" "C\">")
        << html << true << true << degrees;
    QTest::newRow("windows-1252 by http-equiv")
        << QByteArray("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">"
                      "<input id=Temperature_0 value=\"21.5\xB0" "C\">")
        << html << true << true << degrees;
    QTest::newRow("undeclared, not UTF-8, read as Latin-1")
        << QByteArray("<input id=Temperature_0 value=\"21.5\xB0" "C\">") << QByteArray() << true << true
        << degrees;
    QTest::newRow("undeclared UTF-8")
        << QByteArray("<input id=Temperature_0 value=\"21.5\xC2\xB0" "C\">") << QByteArray() << true << true
        << degrees;
    QTest::newRow("header charset beats meta")
        << QByteArray("<meta charset=iso-8859-1><input id=Temperature_0 value=\"21.5\xC2\xB0" "C\">")
        << QByteArray("text/html;charset=\"utf-8\"") << true << true << degrees;
    QTest::newRow("textarea drops its first newline")
        << QByteArray("<textarea id=Temperature_0>\n20.75</textarea>") << html << true << true
        << QStringLiteral("20.75");
    QTest::newRow("select with a selected option")
        << QByteArray("<select id=Temperature_0><option value=1>one<option value=2 selected>two</select>") << html
        << true << true << QStringLiteral("2");
    QTest::newRow("select without selection, first enabled option")
        << QByteArray("<select id=Temperature_0><option disabled value=0>x<option value=1>one<option value=2>two"
                      "</select>")
        << html << true << true << QStringLiteral("1");
    QTest::newRow("select option without value gives its text")
        << QByteArray("<select id=Temperature_0><option selected>  23.0\n  </option></select>") << html << true
        << true << QStringLiteral("23.0");
    QTest::newRow("entity-encoded value")
        << QByteArray("<input id=Temperature_0 value=\"&minus;3&#46;5 &amp; &lt;ok&gt;\">") << html << true
        << true << QStringLiteral("\u22123.5 & <ok>");
    QTest::newRow("input without value")
        << QByteArray("<input id=Temperature_0>") << html << true << true << QString();
    QTest::newRow("checkbox without value")
        << QByteArray("<input type=checkbox id=Temperature_0>") << html << true << true << QStringLiteral("on");
    QTest::newRow("text input loses newlines")
        << QByteArray("<input id=Temperature_0 value=\"21&#10;.5\">") << html << true << true
        << QStringLiteral("21.5");
    QTest::newRow("button value")
        << QByteArray("<button id=Temperature_0 value=7>Press</button>") << html << true << true
        << QStringLiteral("7");
    QTest::newRow("li value is an integer")
        << QByteArray("<ol><li id=Temperature_0 value=\" 12abc\">x</ol>") << html << true << true
        << QStringLiteral("12");
    QTest::newRow("missing element")
        << QByteArray("<html><body><p>Sensor not found</p></body></html>") << html << false << false << QString();
    QTest::newRow("empty body") << QByteArray() << QByteArray() << false << false << QString();
}

void HtmlDocumentTest::value()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, contentType);
    QFETCH(bool, found);
    QFETCH(bool, hasValue);
    QFETCH(QString, value);

    const HtmlDocument doc = HtmlDocument::parse(body, contentType);
    const auto element = doc.getElementById(QStringLiteral("Temperature_0"));
    QCOMPARE(element.has_value(), found);
    if (!found)
        return;
    const auto got = element->Value();
    QCOMPARE(got.has_value(), hasValue);
    if (hasValue)
        QCOMPARE(*got, value);
}

void HtmlDocumentTest::rendering_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("fields"); // "label=value" pairs

    QTest::newRow("gateway page")
        << QByteArray("<html><head><title> Read\n DS18B20 </title><style>p{color:red}</style>"
                      "<script>alert('x')</script></head><body><h1>Sensor</h1><table><tr><td>ROM</td>"
                      "<td>9C000000B4A89828</td></tr><tr><td><label for=Temperature_0>Temp</label></td><td>"
                      "<input id=Temperature_0 value=21.5></td></tr></table><input type=hidden name=k value=s>"
                      "</body></html>")
        << QStringLiteral("Read DS18B20") << QStringLiteral("Sensor\nROM 9C000000B4A89828\nTemp [21.5]")
        << QStringList{QStringLiteral("Temp=21.5")};
    QTest::newRow("fields labelled by name, select and textarea")
        << QByteArray("<body><form>Unit <select name=unit><option>C<option selected>F</select><br>"
                      "<textarea name=note>hello</textarea></form><script>var x=1;</script></body>")
        << QString() << QStringLiteral("Unit [F]\n[hello]")
        << QStringList{QStringLiteral("unit=F"), QStringLiteral("note=hello")};
    QTest::newRow("no body text") << QByteArray("<title>t</title>") << QStringLiteral("t") << QString()
                                  << QStringList{};
}

void HtmlDocumentTest::rendering()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(QStringList, fields);

    const HtmlDocument doc = HtmlDocument::parse(body, "text/html");
    QCOMPARE(doc.title(), title);
    QCOMPARE(doc.text(), text);
    QStringList got;
    for (const HtmlDocument::Field &field : doc.fields())
        got << field.label + u'=' + field.value;
    QCOMPARE(got, fields);
}

void HtmlDocumentTest::elementOutlivesMove()
{
    HtmlDocument first = HtmlDocument::parse("<input id=Temperature_0 value=21.5>", "text/html");
    const auto element = first.getElementById(QStringLiteral("Temperature_0"));
    QVERIFY(element.has_value());
    HtmlDocument moved = std::move(first);
    HtmlDocument other = HtmlDocument::parse("<input id=Temperature_0 value=9>", "text/html");
    other = std::move(moved);
    QCOMPARE(element->Value().value_or(QString()), QStringLiteral("21.5"));
    QCOMPARE(other.getElementById(QStringLiteral("Temperature_0"))->Value().value_or(QString()),
             QStringLiteral("21.5"));
}

void HtmlDocumentTest::deepNesting_data()
{
    QTest::addColumn<QByteArray>("open");
    QTest::addColumn<QByteArray>("close");

    QTest::newRow("unclosed divs") << QByteArray("<div>") << QByteArray();
    QTest::newRow("closed divs") << QByteArray("<div>") << QByteArray("</div>");
    QTest::newRow("lists in list items") << QByteArray("<ul><li>") << QByteArray("</li></ul>");
    QTest::newRow("unclosed spans") << QByteArray("<span>") << QByteArray();
}

static qint64 peakResidentKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// A page is only as deep as its sender makes it: nesting must cost neither
// the call stack (the walk runs here on a thread with a small one) nor memory
// growing with the square of the depth.
void HtmlDocumentTest::deepNesting()
{
    QFETCH(QByteArray, open);
    QFETCH(QByteArray, close);

    constexpr int depth = 20000;
    const QByteArray body = open.repeated(depth) + "<input id=Temperature_0 value=21.5>" + close.repeated(depth);

    struct Outcome
    {
        std::optional<QString> value;
        QString text;
        qsizetype fields = -1;
    };
    Outcome outcome;
    const qint64 peakBefore = peakResidentKiB();
    std::unique_ptr<QThread> worker(QThread::create([&body, &outcome] {
        const HtmlDocument doc = HtmlDocument::parse(body, "text/html");
        if (const auto element = doc.getElementById(QStringLiteral("Temperature_0")))
            outcome.value = element->Value();
        outcome.text = doc.text();
        outcome.fields = doc.fields().size();
    }));
    worker->setStackSize(2 * 1024 * 1024);
    worker->start();
    QVERIFY(worker->wait(60000));

    QCOMPARE(outcome.value.value_or(QString()), QStringLiteral("21.5"));
    QCOMPARE(outcome.text, QStringLiteral("[21.5]"));
    QCOMPARE(outcome.fields, qsizetype(1));
    QVERIFY2(peakResidentKiB() - peakBefore < 256 * 1024,
             qPrintable(QStringLiteral("peak resident memory grew by %1 KiB").arg(peakResidentKiB() - peakBefore)));
}

QTEST_GUILESS_MAIN(HtmlDocumentTest)
#include "htmldocument_test.moc"
