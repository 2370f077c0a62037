#include "reportbuilder.h"

#include "logseries.h"
#include "meankinetictemperature.h"

#include <algorithm>

namespace kestrin {

namespace {

QDate dateOfRecord(const LogSeries &series, qsizetype i)
{
    return QDateTime::fromSecsSinceEpoch(series.times()[i] + series.offsetAt(i), Qt::UTC).date();
}

qint64 overlap(qint64 from, qint64 to, const Period &p)
{
    return std::max<qint64>(0, std::min(to, p.endUtc) - std::max(from, p.startUtc));
}

// Walks the gaps along the records: whether the step into record i is one.
class GapCursor
{
public:
    GapCursor(const LogSeries &series, const QList<LogSeries::Gap> &gaps, qsizetype from)
        : m_times(series.times())
        , m_gaps(gaps)
    {
        if (from < qsizetype(m_times.size()))
            m_next = std::partition_point(gaps.begin(), gaps.end(),
                                          [&](const LogSeries::Gap &g) { return g.to < m_times[from]; })
                - gaps.begin();
    }

    bool before(qsizetype i)
    {
        while (m_next < m_gaps.size() && m_gaps[m_next].to < m_times[i])
            ++m_next;
        if (i > 0 && m_next < m_gaps.size() && m_gaps[m_next].to == m_times[i]
            && m_gaps[m_next].from == m_times[i - 1]) {
            ++m_next;
            return true;
        }
        return false;
    }

private:
    const std::vector<qint64> &m_times;
    const QList<LogSeries::Gap> &m_gaps;
    qsizetype m_next = 0;
};

} // namespace

ReportBuilder::ReportBuilder(const PeriodSplitter &splitter)
    : m_splitter(splitter)
{
}

Report ReportBuilder::build(const LogSeries &series, const std::optional<SiteFile> &site, PeriodKind kind,
                            std::optional<QDate> from, std::optional<QDate> to) const
{
    Report report;
    report.site = site;
    report.zone = QString::fromUtf8(m_splitter.zone().id());
    report.sensors = series.sensors();
    const QList<LogSeries::Gap> gaps = series.gaps();
    const QList<LogSeries::FlatRun> flatRuns = series.flatRuns();
    for (int s = 0; s < report.sensors; ++s) {
        Limits limits;
        if (const SiteFile::Sensor *known = site ? site->sensor(s + 1) : nullptr)
            limits = {known->low, known->high};
        report.limits.push_back(limits);
        report.excursions.push_back(ExcursionFinder::find(series, s, limits, gaps));
    }
    if (series.size() > 0) {
        report.firstRecord = {series.times().front(), series.offsetAt(0)};
        report.lastRecord = {series.times().back(), series.offsetAt(series.size() - 1)};
    } else if (!from || !to) {
        return report;
    }
    const QDate first = from.value_or(series.size() ? dateOfRecord(series, 0) : QDate());
    const QDate last = to.value_or(series.size() ? dateOfRecord(series, series.size() - 1) : QDate());
    const std::vector<qint64> &times = series.times();
    for (const Period &p : m_splitter.split(kind, first, last)) {
        ReportPeriod rp;
        rp.period = p;
        rp.startOffset = m_splitter.offsetAt(p.startUtc);
        if (!times.empty()) {
            qint64 covered = overlap(times.front(), times.back(), p);
            for (const LogSeries::Gap &g : gaps) {
                if (g.to > p.startUtc && g.from < p.endUtc) {
                    rp.gaps.append(g);
                    covered -= overlap(g.from, g.to, p);
                }
            }
            rp.coveragePercent = 100.0 * double(covered) / double(p.endUtc - p.startUtc);
        }
        for (int s = 0; s < report.sensors; ++s)
            rp.sensors.push_back(sensorPeriod(series, report, s, rp, flatRuns, gaps));
        report.periods.append(std::move(rp));
    }
    return report;
}

SensorPeriod ReportBuilder::sensorPeriod(const LogSeries &series, const Report &report, int sensor,
                                         const ReportPeriod &rp, const QList<LogSeries::FlatRun> &flatRuns,
                                         const QList<LogSeries::Gap> &gaps) const
{
    SensorPeriod out;
    const Period &p = rp.period;
    const std::vector<qint64> &times = series.times();
    const std::vector<float> &column = series.column(sensor);
    const qsizetype begin = std::lower_bound(times.begin(), times.end(), p.startUtc) - times.begin();
    const qsizetype end = std::lower_bound(times.begin(), times.end(), p.endUtc) - times.begin();
    out.records = end - begin;

    if (out.records > 0) {
        qsizetype lowest = begin, highest = begin;
        double sum = 0;
        MeanKineticTemperature mkt;
        for (qsizetype i = begin; i < end; ++i) {
            const float v = column[i];
            if (v < column[lowest])
                lowest = i;
            if (v > column[highest])
                highest = i;
            sum += v;
            mkt.add(v);
        }
        out.minimum = column[lowest];
        out.maximum = column[highest];
        out.minimumAt = {times[lowest], series.offsetAt(lowest)};
        out.maximumAt = {times[highest], series.offsetAt(highest)};
        out.mean = sum / double(out.records);
        out.mkt = mkt.celsius();

        // Per chart column its lowest and highest record, in time order.
        const double length = double(p.endUtc - p.startUtc);
        GapCursor gap(series, gaps, begin);
        QList<QPointF> line;
        qsizetype lo = -1, hi = -1;
        int col = -1;
        auto flush = [&] {
            if (lo < 0)
                return;
            line.append(QPointF(double(times[std::min(lo, hi)] - p.startUtc), column[std::min(lo, hi)]));
            if (lo != hi)
                line.append(QPointF(double(times[std::max(lo, hi)] - p.startUtc), column[std::max(lo, hi)]));
            lo = hi = -1;
        };
        for (qsizetype i = begin; i < end; ++i) {
            if (gap.before(i) && i > begin) {
                flush();
                out.trace.append(line);
                line.clear();
            }
            const int c = int(double(times[i] - p.startUtc) * TraceColumns / length);
            if (c != col) {
                flush();
                col = c;
            }
            if (lo < 0 || column[i] < column[lo])
                lo = i;
            if (hi < 0 || column[i] > column[hi])
                hi = i;
        }
        flush();
        out.trace.append(line);
    }

    for (const LogSeries::FlatRun &run : flatRuns)
        if (run.sensor == sensor && run.from < p.endUtc && run.to >= p.startUtc)
            out.flatRuns.append(run);

    if (report.limits[sensor].any()) {
        const QList<Excursion> &all = report.excursions[sensor];
        qsizetype k = std::partition_point(all.begin(), all.end(), [&](const Excursion &e) { return e.end < p.startUtc; })
            - all.begin();
        for (; k < all.size() && all[k].start < p.endUtc; ++k) {
            const Excursion &e = all[k];
            if (e.end <= p.startUtc && e.start < p.startUtc)
                continue;
            const double minutes = double(overlap(e.start, e.end, p)) / 60.0;
            out.excursionIndexes.append(k);
            out.excursionMinutes.append(minutes);
            out.minutesOutOfRange += minutes;
        }
        out.excursions = int(out.excursionIndexes.size());
    }
    return out;
}

} // namespace kestrin
