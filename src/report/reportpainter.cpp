#include "reportpainter.h"

#include "reportchart.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>

#include <algorithm>

namespace kestrin {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("Report", text);
}

const QColor warningColour(0xb0, 0x1c, 0x1c);

// Where the columns of an excursion, flat-run or gap row start, as parts of
// the width.
constexpr double columns[] = {0.0, 0.22, 0.44, 0.55, 0.67, 0.80};

} // namespace

struct ReportPainter::Metrics
{
    QRectF page;
    double unit = 1; // device pixels per point
    QFont title, body, bold, small, mono;
    double line = 0, smallLine = 0;
    double chart = 0, footer = 0;

    explicit Metrics(QPaintDevice &device)
        : page(0, 0, device.width(), device.height())
        , unit(device.logicalDpiY() / 72.0)
    {
        body = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        body.setPointSizeF(9);
        // No ligatures: "fi" as one glyph would not be found by a search
        // for "file" in the PDF.
        body.setStyleStrategy(QFont::PreferNoShaping);
        bold = body;
        bold.setBold(true);
        title = bold;
        title.setPointSizeF(13);
        small = body;
        small.setPointSizeF(7.5);
        mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        mono.setPointSizeF(7);
        mono.setStyleStrategy(QFont::PreferNoShaping);
        line = QFontMetricsF(body, &device).height() * 1.25;
        smallLine = QFontMetricsF(small, &device).height() * 1.2;
        chart = std::min(page.height() * 0.32, page.width() * 0.5);
        footer = 2 * smallLine + 8 * unit;
    }
};

ReportPainter::ReportPainter(const Report &report, const QLocale &locale)
    : m_report(report)
    , m_text(locale)
{
}

ReportPainter::Section ReportPainter::section(int period, int sensor) const
{
    Section s{period, sensor, {}};
    const ReportPeriod &rp = m_report.periods[period];
    const SensorPeriod &f = rp.sensors[sensor];
    const Limits &limits = m_report.limits[sensor];
    const int usual = rp.startOffset;
    auto figure = [&](const QString &label, const QString &value) { s.lines.append({Line::Figure, {label, value}}); };
    qsizetype titles = -1;
    auto table = [&](const QString &title, const QStringList &columnTitles) {
        s.lines.append(Line{Line::Note, {}});
        s.lines.append({Line::Heading, {title}});
        s.lines.append({Line::Heading, columnTitles});
        titles = s.lines.size() - 1;
    };
    auto row = [&](const QStringList &cells) { s.lines.append({Line::Row, cells, titles}); };

    figure(tr("Records"), m_text.count(f.records));
    figure(tr("Coverage"), m_text.number(rp.coveragePercent, 2) + QStringLiteral(" %"));
    // Why a period is not covered in full.
    if (!rp.gaps.isEmpty()) {
        qint64 missing = 0;
        for (const LogSeries::Gap &g : rp.gaps)
            missing += std::min(g.to, rp.period.endUtc) - std::max(g.from, rp.period.startUtc);
        figure(tr("Gaps"), tr("%1, without records for %2").arg(m_text.count(rp.gaps.size()), m_text.duration(missing)));
    }
    if (m_report.firstRecord.utc > rp.period.startUtc && m_report.firstRecord.utc < rp.period.endUtc)
        figure(tr("The log starts"), m_text.dateTime(m_report.firstRecord, usual));
    if (m_report.lastRecord.utc >= rp.period.startUtc && m_report.lastRecord.utc < rp.period.endUtc - 1)
        figure(tr("The log ends"), m_text.dateTime(m_report.lastRecord, usual));
    if (f.records == 0) {
        s.lines.append({Line::Warning, {tr("No records in this period.")}});
    } else {
        figure(tr("Minimum"), tr("%1 at %2").arg(m_text.temperature(f.minimum), m_text.dateTime(f.minimumAt, usual)));
        figure(tr("Maximum"), tr("%1 at %2").arg(m_text.temperature(f.maximum), m_text.dateTime(f.maximumAt, usual)));
        figure(tr("Mean"), m_text.temperature(f.mean, 2));
        figure(tr("Mean kinetic temperature"),
               tr("%1 (ΔH = %2 kJ/mol)").arg(m_text.temperature(f.mkt, 2), m_text.number(83.144, 3)));
    }
    if (!limits.any()) {
        figure(tr("Allowed range"), !m_report.site ? tr("none: no site file") : tr("none in the site file"));
    } else {
        QString range;
        if (limits.low && limits.high)
            range = tr("%1 to %2").arg(m_text.temperature(*limits.low, 1), m_text.temperature(*limits.high, 1));
        else if (limits.low)
            range = tr("from %1").arg(m_text.temperature(*limits.low, 1));
        else
            range = tr("up to %1").arg(m_text.temperature(*limits.high, 1));
        figure(tr("Allowed range"), range);
        figure(tr("Excursions"), tr("%1 (%2 minutes out of range)")
                                     .arg(m_text.count(f.excursions), m_text.number(f.minutesOutOfRange, 2)));
    }
    figure(tr("Flat runs"), f.flatRuns.isEmpty() ? m_text.count(0)
                                                 : tr("%1: a value unchanged for an hour or more is no measurement")
                                                       .arg(m_text.count(f.flatRuns.size())));

    if (limits.any() && f.excursions > 0) {
        table(tr("Excursions in detail"), {tr("Start"), tr("End"), tr("Duration"), tr("Peak"), tr("In period"), {}});
        for (qsizetype k = 0; k < f.excursionIndexes.size(); ++k) {
            const Excursion &e = m_report.excursions[sensor][f.excursionIndexes[k]];
            QString how;
            if (e.how == Excursion::End::Gap)
                how = tr("a gap ends it");
            else if (e.how == Excursion::End::LogEnd)
                how = tr("open at the log's end");
            row({m_text.dateTime({e.start, e.startOffset}, usual), m_text.dateTime({e.end, e.endOffset}, usual),
                 m_text.duration(e.seconds()), m_text.temperature(e.peak),
                 tr("%1 min").arg(m_text.number(f.excursionMinutes[k], 2)), how});
        }
    }
    const PeriodSplitter clock(QTimeZone(m_report.zone.toUtf8()), Qt::Monday);
    auto moment = [&](qint64 utc) { return Moment{utc, clock.offsetAt(utc)}; };
    if (!f.flatRuns.isEmpty()) {
        table(tr("Flat runs in detail"), {tr("From"), tr("To"), tr("Duration"), tr("Value"), {}, {}});
        for (const LogSeries::FlatRun &run : f.flatRuns)
            row({m_text.dateTime(moment(run.from), usual), m_text.dateTime(moment(run.to), usual),
                 m_text.duration(run.to - run.from), m_text.temperature(run.value), {},
                 run.open ? tr("open at the log's end") : QString()});
    }
    if (!rp.gaps.isEmpty()) {
        table(tr("Gaps in detail: no records"), {tr("Last record before"), tr("First record after"), tr("Duration")});
        for (const LogSeries::Gap &g : rp.gaps)
            row({m_text.dateTime(moment(g.from), usual), m_text.dateTime(moment(g.to), usual), m_text.duration(g.to - g.from)});
    }
    return s;
}

double ReportPainter::headerHeight(const Metrics &m) const
{
    double h = 1.5 * m.line + 2 * m.line + 6 * m.unit;
    if (m_report.siteDisagrees())
        h += m.line;
    return h;
}

QList<ReportPainter::Page> ReportPainter::layout(const QList<Section> &sections, const Metrics &m) const
{
    QList<Page> pages;
    const double body = m.page.height() - headerHeight(m) - m.footer;
    for (int i = 0; i < sections.size(); ++i) {
        const QList<Line> &lines = sections[i].lines;
        qsizetype next = 0;
        bool first = true;
        do {
            double room = body - (first ? m.chart + m.line : 0);
            if (!first && next < lines.size() && lines[next].kind == Line::Row)
                room -= 2 * m.line;
            Page page{i, next, 0, first};
            while (next < lines.size()) {
                const double h = lines[next].kind == Line::Row ? m.smallLine : m.line;
                // A heading does not end a page.
                const bool heading = lines[next].kind == Line::Heading;
                if (h > room || (heading && 3 * m.line > room))
                    break;
                room -= h;
                ++next;
                ++page.lines;
            }
            if (page.lines == 0 && !first && next < lines.size()) {
                ++next; // cannot happen with any real page size; never loop
                page.lines = 1;
            }
            pages.append(page);
            first = false;
        } while (next < lines.size());
    }
    return pages;
}

void ReportPainter::paintPage(QPainter &painter, const Metrics &m, const Section &section, const Page &page, int number,
                              int pages) const
{
    const ReportPeriod &rp = m_report.periods[section.period];
    const QRectF &area = m.page;
    double y = area.top();
    auto text = [&](const QFont &font, double height, const QString &s, Qt::Alignment align = Qt::AlignLeft) {
        painter.setFont(font);
        painter.drawText(QRectF(area.left(), y, area.width(), height), align | Qt::AlignVCenter, s);
    };

    // Header
    painter.setPen(Qt::black);
    const QString site = m_report.siteName();
    text(m.title, 1.5 * m.line,
         site.isEmpty() ? tr("Temperature record") : tr("Temperature record: %1").arg(site));
    y += 1.5 * m.line;
    QString sensor = m_report.sensorLabel(section.sensor);
    if (!m_report.sensorRom(section.sensor).isEmpty())
        sensor += tr(", ROM %1").arg(m_report.sensorRom(section.sensor));
    text(m.bold, m.line, sensor);
    y += m.line;
    QString period = tr("Period: %1").arg(m_text.period(rp.period));
    if (!page.withChart)
        period += tr(" (continued)");
    text(m.body, m.line, period + tr("; times in %1").arg(m_report.zone));
    y += m.line;
    if (m_report.siteDisagrees()) {
        painter.setPen(warningColour);
        text(m.bold, m.line,
             tr("The site file names %1 sensors, the log has %2: sensors without a name are shown by number.")
                 .arg(m_report.site->sensorCount())
                 .arg(m_report.sensors));
        painter.setPen(Qt::black);
        y += m.line;
    }
    y += 3 * m.unit;
    painter.setPen(QPen(Qt::black, 0.5 * m.unit));
    painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
    y += 3 * m.unit;

    if (page.withChart) {
        painter.setFont(m.small);
        ReportChart::paint(painter, QRectF(area.left(), y, area.width(), m.chart), m_report, rp, section.sensor, m_text);
        y += m.chart + m.line;
    }

    const double labelWidth = area.width() * 0.3;
    QList<qsizetype> shown;
    if (!page.withChart && page.lines > 0) {
        const Line &top = section.lines[page.firstLine];
        if (top.kind == Line::Row && top.columnTitles > 0)
            shown << top.columnTitles - 1 << top.columnTitles;
    }
    for (qsizetype i = page.firstLine; i < page.firstLine + page.lines; ++i)
        shown << i;
    for (const qsizetype i : std::as_const(shown)) {
        const Line &line = section.lines[i];
        const double h = line.kind == Line::Row ? m.smallLine : m.line;
        switch (line.kind) {
        case Line::Figure:
            painter.setPen(Qt::black);
            painter.setFont(m.bold);
            painter.drawText(QRectF(area.left(), y, labelWidth, h), Qt::AlignLeft | Qt::AlignVCenter, line.cells[0]);
            painter.setFont(m.body);
            painter.drawText(QRectF(area.left() + labelWidth, y, area.width() - labelWidth, h),
                             Qt::AlignLeft | Qt::AlignVCenter, line.cells[1]);
            break;
        case Line::Warning:
            painter.setPen(warningColour);
            text(m.bold, h, line.cells[0]);
            painter.setPen(Qt::black);
            break;
        case Line::Note:
            text(m.body, h, line.cells.value(0));
            break;
        case Line::Heading:
        case Line::Row:
            painter.setPen(Qt::black);
            if (line.kind == Line::Heading && line.cells.size() == 1) {
                text(m.bold, h, line.cells[0]);
                break;
            }
            painter.setFont(line.kind == Line::Heading ? m.bold : m.small);
            for (qsizetype c = 0; c < line.cells.size() && c < qsizetype(std::size(columns)); ++c) {
                const double left = area.left() + columns[c] * area.width();
                const double right = c + 1 < qsizetype(std::size(columns)) ? area.left() + columns[c + 1] * area.width()
                                                                           : area.right();
                painter.drawText(QRectF(left, y, right - left, h), Qt::AlignLeft | Qt::AlignVCenter, line.cells[c]);
            }
            break;
        }
        y += h;
    }

    // Footer
    y = area.bottom() - m.footer + 8 * m.unit;
    painter.setPen(QPen(Qt::black, 0.5 * m.unit));
    painter.drawLine(QPointF(area.left(), y - 2 * m.unit), QPointF(area.right(), y - 2 * m.unit));
    const ReportSource &source = m_report.source;
    painter.setFont(m.small);
    const QString log = tr("Log %1, SHA-256 of its %2 bytes: ").arg(source.fileName, m_text.count(source.bytes));
    painter.drawText(QRectF(area.left(), y, area.width(), m.smallLine), Qt::AlignLeft | Qt::AlignVCenter, log);
    const double logWidth = QFontMetricsF(m.small, painter.device()).horizontalAdvance(log);
    painter.setFont(m.mono);
    painter.drawText(QRectF(area.left() + logWidth, y, area.width() - logWidth, m.smallLine),
                     Qt::AlignLeft | Qt::AlignVCenter, QString::fromLatin1(source.sha256));
    y += m.smallLine;
    painter.setFont(m.small);
    painter.drawText(QRectF(area.left(), y, area.width(), m.smallLine), Qt::AlignLeft | Qt::AlignVCenter,
                     tr("Made %1; lines skipped (no record): %2")
                         .arg(m_text.dateTime(source.made), m_text.count(source.linesSkipped)));
    painter.drawText(QRectF(area.left(), y, area.width(), m.smallLine), Qt::AlignRight | Qt::AlignVCenter,
                     tr("Page %1 of %2").arg(m_text.count(number), m_text.count(pages)));
}

int ReportPainter::paint(QPagedPaintDevice &device) const
{
    QPainter painter;
    if (!painter.begin(&device))
        return 0;
    painter.setRenderHint(QPainter::Antialiasing);
    const Metrics m(device);
    QList<Section> sections;
    for (int s = 0; s < m_report.sensors; ++s)
        for (int p = 0; p < m_report.periods.size(); ++p)
            sections.append(section(p, s));
    const QList<Page> pages = layout(sections, m);
    for (int i = 0; i < pages.size(); ++i) {
        if (i > 0)
            device.newPage();
        paintPage(painter, m, sections[pages[i].section], pages[i], i + 1, int(pages.size()));
    }
    painter.end();
    return int(pages.size());
}

} // namespace kestrin
