#pragma once

#include "sitefile.h"

#include <QLocale>
#include <QObject>
#include <QPageSize>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QMenu;
class QWidget;

namespace kestrin {

class LogSeries;
class ReportOptionsDialog;
struct Report;

// File > Print Report... and File > Export Report... for the log a window
// shows: the report of the records it holds, previewed and printed by the
// one painter that also makes the PDF of kestrin-logview --report.
class ReportActions final : public QObject
{
    Q_OBJECT

public:
    // What the window knows of the log beyond its records.
    struct Source
    {
        std::function<QString()> path;
        std::function<qint64()> linesSkipped;
    };

    ReportActions(const LogSeries &series, const QLocale &locale, Source source, QWidget *window);

    void addTo(QMenu *menu);
    // The site file the program found: names, ROM ids and limits.
    void setSite(const std::optional<SiteFile> &site) { m_site = site; }

private:
    void print();
    void exportReport();
    // Works out what the dialog asks for; nothing when the log cannot be
    // read for its hash (said in a message box).
    std::optional<Report> prepare(const ReportOptionsDialog &options);
    // The options dialog for this log; nothing without records.
    std::unique_ptr<ReportOptionsDialog> options();
    QPageSize paper() const;

    const LogSeries &m_series;
    QLocale m_locale;
    Source m_source;
    QWidget *m_window;
    std::optional<SiteFile> m_site;
};

} // namespace kestrin
