// kestrin-logview: the window, or with --csv / --png a command-line tool
// that needs no display.

#include "csvwriter.h"
#include "logchartview.h"
#include "logreader.h"
#include "logseries.h"
#include "logviewwindow.h"
#include "outputfile.h"
#include "reportactions.h"
#include "reportcommand.h"
#include "sitelocator.h"
#include "sitereader.h"

#include <QApplication>
#include <QBuffer>
#include <QCommandLineParser>
#include <QFile>
#include <QImage>
#include <QMessageBox>
#include <QProcessEnvironment>
#include <QPainter>
#include <QPalette>
#include <QRegularExpression>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

const char *const timeNote =
    "Time stamps in a log carry no time zone: they are read as local time on\n"
    "this machine (set TZ to read a log written elsewhere). In the hour that\n"
    "repeats when summer time ends, a time is first taken as summer time and,\n"
    "once that would put a record before the one above it, as standard time,\n"
    "so the records keep their order. A time in the hour skipped in spring is\n"
    "taken with the offset from before the change.\n";

void printErr(const QString &text)
{
    std::fputs(qPrintable(text + u'\n'), stderr);
}

bool wants(int argc, char **argv, const char *option)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], option) == 0)
            return true;
    return false;
}

// The site file named by --site, or found where the XDG rules say; none is
// fine, a bad one is an error.
struct Site
{
    std::optional<kestrin::SiteFile> file;
    QString error;
};

Site readSite(const QString &named)
{
    const auto path = kestrin::SiteLocator::find(named, QProcessEnvironment::systemEnvironment());
    if (!path)
        return {};
    auto result = kestrin::SiteReader::read(*path);
    if (const auto *error = std::get_if<kestrin::SiteError>(&result))
        return {std::nullopt, error->text()};
    return {std::get<kestrin::SiteFile>(std::move(result)), QString()};
}

// Per sensor of the site, its label where it has a name ("1 Freezer 2"),
// or its name alone for a CSV header; empty where it has none.
QStringList siteNames(const std::optional<kestrin::SiteFile> &site, bool labels)
{
    QStringList names;
    if (site)
        for (const kestrin::SiteFile::Sensor &s : site->sensors)
            names << (s.name.isEmpty() ? QString() : labels ? site->label(s.number) : s.name);
    return names;
}

int exportCsv(const QString &log, const QString &outPath, const QLocale &locale, const QStringList &names,
              int siteSensors)
{
    kestrin::OutputFile out(outPath);
    auto error = out.open();
    if (!error) {
        error = kestrin::CsvWriter::exportLog(log, locale, out.device(), [&](const kestrin::LogProblem &p) {
            printErr(QStringLiteral("%1: line %2 skipped: %3").arg(log).arg(p.line).arg(p.reason));
        }, out.name(), names, [&](int readings) {
            if (siteSensors > 0 && readings != siteSensors)
                printErr(QStringLiteral("kestrin-logview: the site file names %1 sensors, but the records of %2 "
                                        "have %3 readings").arg(siteSensors).arg(log).arg(readings));
        });
        if (error)
            out.discard();
        else
            error = out.commit();
    }
    if (error) {
        printErr(QStringLiteral("kestrin-logview: %1").arg(*error));
        return 2;
    }
    return 0;
}

int drawPng(const QString &log, const QString &outPath, QSize size, const QLocale &locale, const QStringList &labels)
{
    kestrin::LogSeries series;
    const auto result = kestrin::LogReader::readFile(log, locale, [&](const kestrin::LogBatch &batch) {
        series.append(batch);
        for (const kestrin::LogProblem &p : batch.problems)
            printErr(QStringLiteral("%1: line %2 skipped: %3").arg(log).arg(p.line).arg(p.reason));
    });
    if (result.error) {
        printErr(QStringLiteral("kestrin-logview: %1").arg(*result.error));
        return 2;
    }
    kestrin::LogChartView view(series, locale);
    view.setSensorNames(labels);
    // A picture for a report: black on white, whatever the desktop's theme.
    QPalette paper = view.palette();
    paper.setColor(QPalette::Base, Qt::white);
    paper.setColor(QPalette::Text, Qt::black);
    paper.setColor(QPalette::Window, Qt::white);
    paper.setColor(QPalette::WindowText, Qt::black);
    view.setPalette(paper);
    view.resize(size);
    view.setAttribute(Qt::WA_DontShowOnScreen);
    view.show();
    // The chart lays itself out from the event loop: once for the size,
    // once for the data.
    QCoreApplication::processEvents();
    view.dataChanged(false);
    QCoreApplication::processEvents();
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    view.render(&painter);
    painter.end();
    // Encoded in memory and written in one go, so every failure of the
    // write, the last flush included, is seen and named.
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        printErr(QStringLiteral("kestrin-logview: cannot encode the picture"));
        return 2;
    }
    kestrin::OutputFile file(outPath);
    auto error = file.open();
    if (!error && file.device().write(png) != png.size()) {
        error = QStringLiteral("%1: %2").arg(file.name(), file.device().errorString());
        file.discard();
    } else if (!error) {
        error = file.commit();
    }
    if (error) {
        printErr(QStringLiteral("kestrin-logview: %1").arg(*error));
        return 2;
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    const bool png = wants(argc, argv, "--png");
    const bool report = kestrin::wantsReport(argc, argv);
    const bool headless = png || report || wants(argc, argv, "--csv") || wants(argc, argv, "--help")
        || wants(argc, argv, "-h") || wants(argc, argv, "--version") || wants(argc, argv, "-v");
    // Pictures are drawn without a display, for reports and scheduled jobs.
    if (png || report)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app;
    if (headless && !png && !report)
        app = std::make_unique<QCoreApplication>(argc, argv);
    else
        app = std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Kestrin-3"));
    QCoreApplication::setApplicationName(QStringLiteral("kestrin-logview"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KESTRIN_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Shows a Kestrin-3 log as a chart, follows it while the logger writes,\n"
                       "exports it as CSV, draws it into a PNG, and makes the daily, weekly or\n"
                       "monthly report of it (minimum, maximum, excursions, MKT) as CSV or PDF.\n\n")
        + QString::fromLatin1(timeNote));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption csv(QStringLiteral("csv"),
                                 QStringLiteral("Write LOG as CSV (ISO 8601 times with UTC offset, \".\" decimals)."));
    const QCommandLineOption out(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                 QStringLiteral("Write the CSV or the report to FILE instead of standard output."), QStringLiteral("FILE"));
    const QCommandLineOption pngOption(QStringLiteral("png"), QStringLiteral("Draw the chart of LOG into the PNG file OUT."),
                                       QStringLiteral("OUT"));
    const QCommandLineOption size(QStringLiteral("size"), QStringLiteral("Size of the PNG (default 1200x700)."),
                                  QStringLiteral("WxH"), QStringLiteral("1200x700"));
    const QCommandLineOption locale(QStringLiteral("locale"),
                                    QStringLiteral("The locale the log was written under (default: this one's), e.g. de_DE."),
                                    QStringLiteral("NAME"));
    const QCommandLineOption siteOption(
        QStringLiteral("site"),
        QStringLiteral("The site file that names the sensors (default: $XDG_CONFIG_HOME/Kestrin-3/site.ini, then\n"
                       "Kestrin-3/site.ini in each of $XDG_CONFIG_DIRS, /etc/xdg)."),
        QStringLiteral("FILE"));
    const QCommandLineOption names(QStringLiteral("names"),
                                   QStringLiteral("Head the CSV's columns with the site file's sensor names."));
    parser.addOptions({csv, out, pngOption, size, locale, siteOption, names});
    kestrin::addReportOptions(parser);
    parser.addPositionalArgument(QStringLiteral("LOG"), QStringLiteral("The log file."), QStringLiteral("[LOG]"));

    if (!parser.parse(QCoreApplication::arguments())) {
        printErr(QStringLiteral("kestrin-logview: %1\nTry kestrin-logview --help.").arg(parser.errorText()));
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("kestrin-logview %s\n", KESTRIN_VERSION);
        return 0;
    }
    QLocale readLocale = QLocale::system();
    if (parser.isSet(locale)) {
        readLocale = QLocale(parser.value(locale));
        if (readLocale == QLocale::c() && !parser.value(locale).startsWith(u'C')) {
            printErr(QStringLiteral("kestrin-logview: unknown locale %1").arg(parser.value(locale)));
            return 2;
        }
    }
    const QStringList logs = parser.positionalArguments();
    if (logs.size() > 1 || ((parser.isSet(csv) || png) && logs.size() != 1)) {
        printErr(QStringLiteral("kestrin-logview: give one LOG\nTry kestrin-logview --help."));
        return 2;
    }
    const Site site = readSite(parser.value(siteOption));
    if (!site.error.isEmpty()) {
        printErr(site.error);
        // Someone who started the window from a menu sees no standard error.
        if (!headless)
            QMessageBox::critical(nullptr, QStringLiteral("Kestrin-3 Log Viewer"), site.error);
        return 2;
    }
    if (report)
        return kestrin::runReport(parser, readLocale, parser.value(locale), site.file);
    const int siteSensors = site.file ? site.file->sensorCount() : 0;
    if (parser.isSet(csv))
        return exportCsv(logs.first(), parser.value(out), readLocale,
                         parser.isSet(names) ? siteNames(site.file, false) : QStringList(), siteSensors);
    if (png) {
        static const QRegularExpression wxh(QStringLiteral("^(\\d{2,5})x(\\d{2,5})$"));
        const auto m = wxh.match(parser.value(size));
        if (!m.hasMatch()) {
            printErr(QStringLiteral("kestrin-logview: --size wants WxH, e.g. 1200x700"));
            return 2;
        }
        return drawPng(logs.first(), parser.value(pngOption), QSize(m.captured(1).toInt(), m.captured(2).toInt()),
                       readLocale, siteNames(site.file, true));
    }

    kestrin::LogViewWindow window(readLocale);
    window.setSensorNames(siteNames(site.file, true), siteSensors);
    if (auto *reports = window.findChild<kestrin::ReportActions *>())
        reports->setSite(site.file);
    window.show();
    if (!logs.isEmpty())
        window.openLog(logs.first());
    return QApplication::exec();
}
