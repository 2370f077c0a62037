#pragma once

#include "periodsplitter.h"
#include "sitefile.h"

#include <QDate>
#include <QLocale>
#include <QString>

#include <optional>
#include <variant>

class QCommandLineParser;

namespace kestrin {

// kestrin-logview --report FORMAT [--period day|week|month] [--from DATE]
// [--to DATE] [--site FILE] LOG [-o OUT]: the options, what they ask for,
// and the run. --site is the viewer's own option.
struct ReportRequest
{
    enum class Format { Csv, Pdf };

    Format format = Format::Csv;
    PeriodKind period = PeriodKind::Day;
    std::optional<QDate> from, to;
    QString log, output; // output empty or "-": standard output

    // The request, or what is wrong with it.
    static std::variant<ReportRequest, QString> fromOptions(const QCommandLineParser &parser);
};

void addReportOptions(QCommandLineParser &parser);
// Whether the command line asks for a report (--report FORMAT or
// --report=FORMAT), before any parser runs: a report needs no display.
bool wantsReport(int argc, char **argv);

// Reads the log, works out the report and writes it, all or nothing: the
// file appears complete or not at all. `localeName` is what --locale gave
// (empty: the environment's), for the paper size; `site` the site file the
// command line found, if any. Returns the exit status: 0, or 2 with a
// message on stderr.
int runReport(const QCommandLineParser &parser, const QLocale &locale, const QString &localeName,
              const std::optional<SiteFile> &site);

} // namespace kestrin
