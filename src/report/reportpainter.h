#pragma once

#include "report.h"
#include "reporttext.h"

#include <QFont>
#include <QList>
#include <QStringList>

class QPagedPaintDevice;
class QPainter;

namespace kestrin {

// Paints a report onto pages: for each period and sensor a header (site,
// sensor name and ROM id, period), the chart, the table of figures, then the
// excursions, flat runs and gaps in detail, continued on further pages as
// needed; on every page a footer that ties it to the log. The one painter
// for the PDF, the preview and the printer, so what is previewed is what
// prints.
class ReportPainter final
{
public:
    ReportPainter(const Report &report, const QLocale &locale);

    // Paints every page onto `device`, starting a new page for each but the
    // first; returns how many there were, 0 if the device would not paint.
    int paint(QPagedPaintDevice &device) const;

private:
    struct Line
    {
        enum Kind { Heading, Figure, Row, Note, Warning } kind;
        QStringList cells;
        // A row's table: the line of its column titles, which a page that
        // goes on with the table repeats together with the title above it.
        qsizetype columnTitles = -1;
    };
    struct Section
    {
        int period = 0, sensor = 0;
        QList<Line> lines;
    };
    struct Page
    {
        int section = 0;
        qsizetype firstLine = 0, lines = 0;
        bool withChart = false;
    };
    struct Metrics;

    Section section(int period, int sensor) const;
    QList<Page> layout(const QList<Section> &sections, const Metrics &m) const;
    void paintPage(QPainter &painter, const Metrics &m, const Section &section, const Page &page, int number,
                   int pages) const;
    double headerHeight(const Metrics &m) const;

    const Report &m_report;
    ReportText m_text;
};

} // namespace kestrin
