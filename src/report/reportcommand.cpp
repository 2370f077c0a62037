#include "reportcommand.h"

#include "localepaper.h"
#include "logreader.h"
#include "logseries.h"
#include "reportbuilder.h"
#include "reportcsvwriter.h"
#include "reportpainter.h"
#include "sitelocator.h"
#include "sitereader.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QPdfWriter>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSaveFile>

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

struct Digest
{
    QByteArray hex;
    qint64 bytes = 0;
};

// The SHA-256 of the log as it is now; a logger may append while the
// report is made, so the size it covers goes with it.
Digest digestOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const qint64 size = file.size();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    qint64 done = 0;
    while (done < size) {
        const qint64 got = file.read(chunk.data(), std::min<qint64>(chunk.size(), size - done));
        if (got <= 0)
            return {};
        hash.addData(QByteArrayView(chunk.constData(), got));
        done += got;
    }
    return {hash.result().toHex(), done};
}

QByteArray pdfOf(const Report &report, const QLocale &locale, const QString &localeName)
{
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setPageSize(LocalePaper::forLocale(localeName, locale));
    writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    writer.setResolution(600);
    writer.setCreator(QStringLiteral("kestrin-logview"));
    writer.setTitle(QCoreApplication::translate("Report", "Temperature record of %1").arg(report.source.fileName));
    ReportPainter(report, locale).paint(writer);
    return pdf;
}

// A full disk first takes part of a write without a word; only the write
// after that says why.
bool writeAll(QIODevice &out, const QByteArray &bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 n = out.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// Writes `bytes` to `path` through a temporary file that is renamed when
// complete; standard output for "-" or no path.
std::optional<QString> save(const QString &path, const QByteArray &bytes)
{
    if (path.isEmpty() || path == u"-") {
        QFile out;
        if (!out.open(stdout, QIODevice::WriteOnly) || !writeAll(out, bytes) || !out.flush())
            return QStringLiteral("standard output: %1").arg(out.errorString());
        return std::nullopt;
    }
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return QStringLiteral("%1: %2").arg(path, out.errorString());
    if (!writeAll(out, bytes) || !out.flush()) {
        const QString reason = out.errorString();
        out.cancelWriting();
        out.commit();
        return QStringLiteral("%1: %2").arg(path, reason);
    }
    if (!out.commit())
        return QStringLiteral("%1: %2").arg(path, out.errorString());
    return std::nullopt;
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
        {QStringLiteral("site"),
         QStringLiteral("The site file with the sensors' names and limits (default: Kestrin-3/site.ini in "
                        "$XDG_CONFIG_HOME, then in $XDG_CONFIG_DIRS)."),
         QStringLiteral("FILE")},
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
    request.site = parser.value(QStringLiteral("site"));
    return request;
}

int runReport(const QCommandLineParser &parser, const QLocale &locale, const QString &localeName)
{
    const auto parsed = ReportRequest::fromOptions(parser);
    if (const QString *error = std::get_if<QString>(&parsed)) {
        printErr(QStringLiteral("kestrin-logview: %1\nTry kestrin-logview --help.").arg(*error));
        return 2;
    }
    const ReportRequest &request = std::get<ReportRequest>(parsed);
    std::optional<SiteFile> site;
    if (const auto path = SiteLocator::find(request.site, QProcessEnvironment::systemEnvironment())) {
        auto read = SiteReader::read(*path, request.site.isEmpty() ? QString() : request.site);
        if (const SiteError *error = std::get_if<SiteError>(&read)) {
            printErr(error->text());
            return 2;
        }
        site = std::get<SiteFile>(std::move(read));
    }

    // The hash is worked out beside the reading, on a core of its own.
    std::future<Digest> digest;
    if (request.format == ReportRequest::Format::Pdf)
        digest = std::async(std::launch::async, digestOf, request.log);
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
        const Digest d = digest.get();
        if (d.hex.isEmpty()) {
            printErr(QStringLiteral("kestrin-logview: %1: cannot read it again for its SHA-256").arg(request.log));
            return 2;
        }
        report.source.sha256 = d.hex;
        report.source.bytes = d.bytes;
        bytes = pdfOf(report, locale, localeName);
    }
    if (const auto error = save(request.output, bytes)) {
        printErr(QStringLiteral("kestrin-logview: %1").arg(*error));
        return 2;
    }
    return 0;
}

} // namespace kestrin
