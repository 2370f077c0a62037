#include "reportcommand.h"

#include "localepaper.h"
#include "logreader.h"
#include "logseries.h"
#include "reportbuilder.h"
#include "reportcsvwriter.h"
#include "reportfile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>

#include <cstdio>
#include <future>

namespace kestrin {

namespace {

void printErr(const QString &text)
{
    std::fputs(qPrintable(text + u'\n'), stderr);
}

std::optional<QDate> isoDate(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    if (!form.match(text).hasMatch())
        return std::nullopt;
    const QDate date = QDate::fromString(text, Qt::ISODate);
    return date.isValid() ? std::optional(date) : std::nullopt;
}

} // namespace

void addReportOptions(QCommandLineParser &parser)
{
    parser.addOptions({
        {QStringLiteral("report"),
         QStringLiteral("Write a report of LOG: per sensor and period the minimum and maximum with their times, the mean, "
                        "the mean kinetic temperature and the excursions; FORMAT is csv or pdf."),
         QStringLiteral("FORMAT")},
        {QStringLiteral("period"), QStringLiteral("The report's periods: day (default), week or month."),
         QStringLiteral("PERIOD"), QStringLiteral("day")},
        {QStringLiteral("from"), QStringLiteral("The report's first day, e.g. 2026-12-01 (default: the log's first)."),
         QStringLiteral("DATE")},
        {QStringLiteral("to"), QStringLiteral("The report's last day, included (default: the log's last)."),
         QStringLiteral("DATE")},
    });
}

bool wantsReport(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i)
        if (QByteArrayView(argv[i]) == "--report" || QByteArrayView(argv[i]).startsWith("--report="))
            return true;
    return false;
}

std::variant<ReportRequest, QString> ReportRequest::fromOptions(const QCommandLineParser &parser)
{
    ReportRequest request;
    const QString format = parser.value(QStringLiteral("report"));
    if (format == u"csv")
        request.format = Format::Csv;
    else if (format == u"pdf")
        request.format = Format::Pdf;
    else
        return QStringLiteral("unknown report format \"%1\": csv or pdf").arg(format);
    const auto period = PeriodSplitter::kindFromName(parser.value(QStringLiteral("period")));
    if (!period)
        return QStringLiteral("unknown period \"%1\": day, week or month").arg(parser.value(QStringLiteral("period")));
    request.period = *period;
    for (const QString &name : {QStringLiteral("from"), QStringLiteral("to")}) {
        if (!parser.isSet(name))
            continue;
        const auto date = isoDate(parser.value(name));
        if (!date)
            return QStringLiteral("--%1 %2 is no date: give one as 2026-12-01").arg(name, parser.value(name));
        (name == u"from" ? request.from : request.to) = date;
    }
    if (request.from && request.to && *request.from > *request.to)
        return QStringLiteral("--from %1 is after --to %2")
            .arg(request.from->toString(Qt::ISODate), request.to->toString(Qt::ISODate));
    const QStringList logs = parser.positionalArguments();
    if (logs.size() != 1)
        return QStringLiteral("give one LOG");
    request.log = logs.first();
    request.output = parser.value(QStringLiteral("output"));
    return request;
}

int runReport(const QCommandLineParser &parser, const QLocale &locale, const QString &localeName,
              const std::optional<SiteFile> &site)
{
    const auto parsed = ReportRequest::fromOptions(parser);
    if (const QString *error = std::get_if<QString>(&parsed)) {
        printErr(QStringLiteral("kestrin-logview: %1\nTry kestrin-logview --help.").arg(*error));
        return 2;
    }
    const ReportRequest &request = std::get<ReportRequest>(parsed);

    // The hash is worked out beside the reading, on a core of its own.
    std::future<ReportFile::Digest> digest;
    if (request.format == ReportRequest::Format::Pdf)
        digest = std::async(std::launch::async, &ReportFile::digest, request.log);
    LogSeries series;
    // A log of another locale would otherwise flood a cron mail.
    constexpr qint64 ProblemsShown = 20;
    qint64 problems = 0;
    const auto read = LogReader::readFile(request.log, locale, [&](const LogBatch &batch) {
        series.append(batch);
        for (const LogProblem &p : batch.problems)
            if (++problems <= ProblemsShown)
                printErr(QStringLiteral("%1: line %2 skipped: %3").arg(request.log).arg(p.line).arg(p.reason));
    });
    if (problems > ProblemsShown)
        printErr(QStringLiteral("%1: %2 more lines skipped").arg(request.log).arg(problems - ProblemsShown));
    if (read.error) {
        printErr(QStringLiteral("kestrin-logview: %1").arg(*read.error));
        return 2;
    }

    const PeriodSplitter splitter(QTimeZone::systemTimeZone(), locale.firstDayOfWeek());
    Report report = ReportBuilder(splitter).build(series, site, request.period, request.from, request.to);
    report.source.fileName = QFileInfo(request.log).fileName();
    report.source.linesSkipped = read.lines - read.records;
    report.source.made = QDateTime::currentDateTime();
    if (report.siteDisagrees())
        printErr(QStringLiteral("kestrin-logview: the site file %1 names %2 sensors, the log has %3")
                     .arg(site->fileName)
                     .arg(site->sensorCount())
                     .arg(report.sensors));
    for (const ReportPeriod &rp : report.periods)
        if (rp.sensors.empty() || rp.sensors.front().records == 0)
            printErr(QStringLiteral("kestrin-logview: no records from %1 to %2")
                         .arg(rp.period.first.toString(Qt::ISODate), rp.period.last.toString(Qt::ISODate)));

    QByteArray bytes;
    if (request.format == ReportRequest::Format::Csv) {
        bytes = ReportCsvWriter::write(report);
    } else {
        const ReportFile::Digest d = digest.get();
        if (d.sha256.isEmpty()) {
            printErr(QStringLiteral("kestrin-logview: %1: cannot read it again for its SHA-256").arg(request.log));
            return 2;
        }
        report.source.sha256 = d.sha256;
        report.source.bytes = d.bytes;
        bytes = ReportFile::pdf(report, locale, LocalePaper::forLocale(localeName, locale));
    }
    if (const auto error = ReportFile::save(request.output, bytes)) {
        printErr(QStringLiteral("kestrin-logview: %1").arg(*error));
        return 2;
    }
    return 0;
}

} // namespace kestrin
