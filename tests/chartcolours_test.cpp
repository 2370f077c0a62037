// The chart under the palettes desktops hand out, light and dark: its
// background follows the palette, every line drawn stands 3:1 against it
// and text 4.5:1 (WCAG's figures), and the eleven lines stay apart, also as
// people with the common red-green colour blindnesses see them.
#include "logchartview.h"

#include <QApplication>
#include <QImage>
#include <QTest>

#include <cmath>

using namespace kestrin;

namespace {

double linear(int channel)
{
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// WCAG 2 relative luminance and contrast ratio.
double luminance(const QColor &c)
{
    return 0.2126 * linear(c.red()) + 0.7152 * linear(c.green()) + 0.0722 * linear(c.blue());
}

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

struct Lab
{
    double l, a, b;
};

// CIE L*a*b* of linear RGB after one of Viénot, Brettel and Mollon's
// dichromat projections (none: as most people see it).
enum class Vision { Normal, Deutan, Protan };
Lab seenAs(const QColor &c, Vision vision)
{
    double r = linear(c.red()), g = linear(c.green()), b = linear(c.blue());
    if (vision != Vision::Normal) {
        const double k = vision == Vision::Deutan ? 0.29275 : 0.11238;
        const double rg = k * r + (1 - k) * g;
        b = std::clamp(b + (vision == Vision::Deutan ? -0.02234 : 0.00401) * (r - g), 0.0, 1.0);
        r = g = rg;
    }
    const double x = (0.4124 * r + 0.3576 * g + 0.1805 * b) / 0.95047;
    const double y = 0.2126 * r + 0.7152 * g + 0.0722 * b;
    const double z = (0.0193 * r + 0.1192 * g + 0.9505 * b) / 1.08883;
    auto f = [](double t) { return t > 0.008856 ? std::cbrt(t) : 7.787 * t + 16.0 / 116.0; };
    return {116 * f(y) - 16, 500 * (f(x) - f(y)), 200 * (f(y) - f(z))};
}

double distance(const Lab &p, const Lab &q)
{
    return std::hypot(p.l - q.l, p.a - q.a, p.b - q.b);
}

QPalette themePalette(const QColor &window, const QColor &windowText, const QColor &base, const QColor &text)
{
    QPalette p(windowText, window, window.lighter(130), window.darker(130), window.darker(115), text, base);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::WindowText, windowText);
    p.setColor(QPalette::ButtonText, windowText);
    return p;
}

LogBatch elevenLines()
{
    LogBatch b;
    b.readingsPerRecord = 11;
    for (int i = 0; i < 400; ++i) {
        b.times.push_back(1796000000 + 8 * i);
        b.offsets.push_back(0);
        for (int s = 0; s < 11; ++s)
            b.values.push_back(float(18 + s + 3 * std::sin(i / 20.0 + s)));
    }
    return b;
}

} // namespace

class ChartColoursTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void followsThePalette_data();
    void followsThePalette();
};

void ChartColoursTest::followsThePalette_data()
{
    QTest::addColumn<QPalette>("palette");
    QTest::addColumn<bool>("dark");
    auto row = [](const char *name, QRgb window, QRgb windowText, QRgb base, QRgb text, bool dark) {
        QTest::newRow(name) << themePalette(QColor(window), QColor(windowText), QColor(base), QColor(text)) << dark;
    };
    row("Fusion", 0xefefef, 0x000000, 0xffffff, 0x000000, false);
    row("Breeze", 0xeff0f1, 0x232629, 0xfcfcfc, 0x232629, false);
    row("Adwaita", 0xf6f5f4, 0x2e3436, 0xffffff, 0x2e3436, false);
    row("Fusion dark", 0x353535, 0xffffff, 0x191919, 0xffffff, true);
    row("Breeze Dark", 0x31363b, 0xeff0f1, 0x232629, 0xeff0f1, true);
    row("Adwaita dark", 0x353535, 0xeeeeec, 0x2d2d2d, 0xeeeeec, true);
    row("high contrast dark", 0x000000, 0xffffff, 0x000000, 0xffffff, true);
}

void ChartColoursTest::followsThePalette()
{
    QFETCH(QPalette, palette);
    QFETCH(bool, dark);
    const QPalette before = QApplication::palette();
    LogSeries series;
    QVERIFY(series.append(elevenLines()));
    LogChartView chart(series, QLocale::system());
    chart.resize(1000, 600);
    chart.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chart));
    chart.dataChanged(false);
    const QColor lightFirst = chart.lineColour(0);
    // Handed over while the chart is up, as when the desktop switches themes.
    QApplication::setPalette(palette);
    QCoreApplication::processEvents();

    const QColor background = palette.color(QPalette::Base);
    QCOMPARE(chart.chart()->backgroundBrush().color(), background);
    QCOMPARE(chart.lineColour(0) != lightFirst, dark);
    const QImage shot = chart.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QHash<QRgb, int> pixels;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            ++pixels[shot.pixel(x, y) | 0xff000000];

    QList<QColor> lines;
    for (int s = 0; s < chart.lineCount(); ++s) {
        const QColor colour = chart.lineColour(s);
        lines << colour;
        QVERIFY2(contrast(colour, background) >= 3.0,
                 qPrintable(u"line %1 %2: %3:1"_qs.arg(s + 1).arg(colour.name()).arg(contrast(colour, background))));
        QVERIFY2(pixels.value(colour.rgb()) >= 100, qPrintable(u"line %1 drawn in %2 pixels of %3"_qs.arg(s + 1)
                                                                  .arg(pixels.value(colour.rgb())).arg(colour.name())));
    }
    const QValueAxis *values = chart.valueAxis();
    const QList<QAbstractAxis *> axes = chart.chart()->axes();
    QCOMPARE(axes.size(), 2);
    for (QAbstractAxis *axis : axes) {
        QVERIFY(contrast(axis->labelsBrush().color(), background) >= 4.5);
        QVERIFY(contrast(axis->titleBrush().color(), background) >= 4.5);
        QVERIFY(contrast(axis->linePenColor(), background) >= 3.0);
        // The grid guides the eye without competing with the lines.
        const double grid = contrast(axis->gridLineColor(), background);
        QVERIFY2(grid >= 1.4 && grid < 3.0, qPrintable(u"grid %1:1"_qs.arg(grid)));
    }
    QVERIFY(values->labelsVisible());
    QVERIFY(contrast(chart.chart()->legend()->labelColor(), background) >= 4.5);

    // Apart from each other, as most people and as dichromats see them.
    for (Vision vision : {Vision::Normal, Vision::Deutan, Vision::Protan}) {
        const double least = vision == Vision::Normal ? 30 : 12;
        for (qsizetype i = 0; i < lines.size(); ++i)
            for (qsizetype j = i + 1; j < lines.size(); ++j) {
                const double d = distance(seenAs(lines[i], vision), seenAs(lines[j], vision));
                QVERIFY2(d >= least, qPrintable(u"lines %1 and %2 (%3, %4; vision %5): ΔE %6"_qs.arg(i + 1).arg(j + 1)
                                                    .arg(lines[i].name(), lines[j].name()).arg(int(vision)).arg(d)));
            }
    }
    QApplication::setPalette(before);
}

QTEST_MAIN(ChartColoursTest)
#include "chartcolours_test.moc"
