#include "logviewwindow.h"

#include "linelegend.h"
#include "logchartview.h"
#include "logfollower.h"
#include "reportactions.h"
#include "numberformat.h"
#include "localeformats.h"

#include <algorithm>

#include <QApplication>
#include <QDateTime>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace kestrin {

namespace {

constexpr int MaxRecent = 8;
constexpr int MaxSkippedShown = 1000;

const QString recentKey = QStringLiteral("RecentFiles");

} // namespace

LogViewWindow::LogViewWindow(const QLocale &locale, QWidget *parent)
    : QMainWindow(parent)
    , m_locale(locale)
    , m_chart(new LogChartView(m_series, locale))
    , m_hover(new QLabel)
    , m_figures(new QTableWidget(0, 6))
    , m_notices(new QListWidget)
    , m_progress(new QProgressBar)
{
    setWindowTitle(tr("Kestrin-3 Log Viewer"));
    setAcceptDrops(true);
    resize(1200, 800);

    QMenu *file = menuBar()->addMenu(tr("&File"));
    file->addAction(tr("&Open..."), QKeySequence::Open, this, &LogViewWindow::chooseLog);
    m_recent = file->addMenu(tr("Open &Recent"));
    file->addSeparator();
    const ReportActions::Source source{[this] { return m_path; },
                                       [this] { return qint64(m_skipped.size()) + m_moreSkipped; }};
    (new ReportActions(m_series, m_locale, source, this))->addTo(file);
    file->addSeparator();
    file->addAction(tr("E&xit"), QKeySequence::Quit, this, &QWidget::close);
    QMenu *view = menuBar()->addMenu(tr("&View"));
    QAction *reset = view->addAction(tr("&Reset View"), this, [this] { m_chart->resetView(); });
    reset->setShortcut(Qt::Key_Home);
    // Home on the chart only: in the table it goes to the first cell.
    reset->setShortcutContext(Qt::WidgetShortcut);
    m_chart->addAction(reset);
    QToolBar *tools = addToolBar(tr("View"));
    tools->setObjectName(QStringLiteral("viewTools"));
    tools->addAction(reset);
    rebuildRecent();

    m_hover->setTextInteractionFlags(Qt::TextSelectableByMouse);
    resetHover();
    connect(m_chart, &LogChartView::hovered, m_hover, &QLabel::setText);

    // The chart's own legend cannot take the focus; this one can.
    m_chart->chart()->legend()->hide();
    auto *legend = new LineLegend(m_chart);
    m_figures->setAccessibleName(tr("Figures by sensor"));
    m_notices->setAccessibleName(tr("Notices"));
    m_figures->setHorizontalHeaderLabels(
        {tr("Sensor"), tr("Minimum"), tr("Maximum"), tr("Mean"), tr("Last"), tr("Records")});
    m_figures->verticalHeader()->setVisible(false);
    m_figures->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the table; the arrows go from cell to cell.
    m_figures->setTabKeyNavigation(false);
    m_figures->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    // A site's sensor names are read whole.
    m_figures->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_figures->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);

    auto *top = new QWidget;
    auto *topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    auto *chartRow = new QHBoxLayout;
    chartRow->addWidget(m_chart, 1);
    chartRow->addWidget(legend);
    topLayout->addLayout(chartRow, 1);
    topLayout->addWidget(m_hover);
    auto *bottom = new QSplitter(Qt::Horizontal);
    bottom->addWidget(m_figures);
    bottom->addWidget(m_notices);
    bottom->setStretchFactor(0, 3);
    bottom->setStretchFactor(1, 2);
    auto *split = new QSplitter(Qt::Vertical);
    split->addWidget(top);
    split->addWidget(bottom);
    // Room for the table's eleven rows below the chart.
    split->setSizes({470, fontMetrics().height() * 15 + 40});
    setCentralWidget(split);
    // Chart, its legend (which puts itself after the chart), table, notices.
    setTabOrder(m_chart, m_figures);
    setTabOrder(m_figures, m_notices);

    m_progress->setMaximumWidth(240);
    m_progress->hide();
    statusBar()->addPermanentWidget(m_progress);
    m_thread.setObjectName(QStringLiteral("log reader"));
    m_thread.start();
}

LogViewWindow::~LogViewWindow()
{
    closeLog();
    m_thread.quit();
    m_thread.wait();
}

void LogViewWindow::setSensorNames(const QStringList &labels, int siteSensors)
{
    m_siteSensors = siteSensors;
    m_chart->setSensorNames(labels);
    m_noticeSignature.clear();
    refreshFigures();
    refreshNotices();
}

void LogViewWindow::closeLog()
{
    // The reader may be in the middle of a large file: it is told to stop
    // and left to end on its own thread, and whatever it already sent is
    // dropped by its load number, never merged into the next log.
    ++m_load;
    if (m_follower) {
        m_follower->disconnect(this);
        m_follower->requestStop();
        QMetaObject::invokeMethod(m_follower, &LogFollower::stop);
        m_follower->deleteLater();
        m_follower = nullptr;
    }
}

void LogViewWindow::openLog(const QString &path)
{
    closeLog();
    m_path = path;
    m_series.clear();
    m_skipped.clear();
    m_moreSkipped = 0;
    m_noticeSignature.clear();
    m_error.clear();
    m_loaded = false;
    m_chart->setLogName(QFileInfo(path).fileName());
    m_chart->dataChanged(false);
    resetHover();
    refreshFigures();
    refreshNotices();
    setWindowTitle(tr("%1 - Kestrin-3 Log Viewer").arg(QFileInfo(path).fileName()));
    statusBar()->showMessage(tr("Reading %1").arg(path));
    m_progress->setRange(0, 1000);
    m_progress->setValue(0);
    m_progress->show();
    addRecent(QFileInfo(path).absoluteFilePath());

    const quint64 load = m_load;
    auto current = [this, load] { return load == m_load; };
    m_follower = new LogFollower(path, m_locale);
    m_follower->moveToThread(&m_thread);
    connect(m_follower, &LogFollower::batchRead, this, [this, current](const LogBatchPtr &batch) {
        if (current())
            take(batch);
    });
    connect(m_follower, &LogFollower::progress, this, [this, current](qint64 done, qint64 total) {
        if (current())
            m_progress->setValue(total > 0 ? int(done * 1000 / total) : 1000);
    });
    connect(m_follower, &LogFollower::caughtUp, this, [this, current](qint64 records) {
        if (current())
            caughtUp(records);
    });
    connect(m_follower, &LogFollower::restarted, this, [this, current] {
        if (current())
            restarted();
    });
    connect(m_follower, &LogFollower::moreSkipped, this, [this, current](qint64 count) {
        if (current())
            m_moreSkipped = count;
    });
    connect(m_follower, &LogFollower::failed, this, [this, current](const QString &reason) {
        if (current())
            failed(reason);
    });
    QMetaObject::invokeMethod(m_follower, &LogFollower::start);
}

void LogViewWindow::take(const LogBatchPtr &batch)
{
    // Room for the whole file at once, judged from the first piece: a
    // year's log is then read without its columns moving.
    if (m_series.size() == 0 && batch->size() > 0 && batch->fileOffset > 0 && batch->fileSize > batch->fileOffset)
        m_series.reserve(qsizetype(double(batch->size()) * double(batch->fileSize) / double(batch->fileOffset) * 1.01) + 1024);
    if (!m_series.append(*batch))
        return; // another width: not this log's records
    for (const LogProblem &p : batch->problems) {
        if (m_skipped.size() < MaxSkippedShown)
            m_skipped.append(tr("Line %1 skipped: %2").arg(p.line).arg(p.reason));
    }
    // While the file loads the chart waits; afterwards each new record shows
    // at once, with several arriving together drawn once.
    if (m_loaded && !m_refreshPending) {
        m_refreshPending = true;
        QTimer::singleShot(0, this, [this] {
            m_refreshPending = false;
            refresh();
        });
    }
}

void LogViewWindow::caughtUp(qint64 records)
{
    m_progress->hide();
    m_loaded = true;
    m_chart->dataChanged(false);
    refreshFigures();
    refreshNotices();
    showCount();
    Q_EMIT chartShown(records);
}

void LogViewWindow::restarted()
{
    m_series.clear();
    m_skipped.clear();
    m_moreSkipped = 0;
    m_noticeSignature.clear();
    m_error.clear();
    m_loaded = false;
    // The old log's lines, range, readout and figures go at once, not when
    // the new one has been read.
    m_chart->dataChanged(false);
    resetHover();
    refreshFigures();
    refreshNotices();
    m_progress->setValue(0);
    m_progress->show();
    statusBar()->showMessage(tr("%1 was truncated or replaced; reading it again").arg(m_path));
}

void LogViewWindow::resetHover()
{
    m_hover->setText(tr("Point at the chart, or move its cursor with Left and Right, to see the time and every value."));
}

void LogViewWindow::failed(const QString &reason)
{
    m_error = reason;
    m_progress->hide();
    statusBar()->showMessage(reason);
    refreshNotices();
}

void LogViewWindow::refresh()
{
    m_chart->dataChanged(true);
    refreshFigures();
    refreshNotices();
    showCount();
}

void LogViewWindow::showCount()
{
    // The count in the title lets a glance at the task bar say the log grows.
    setWindowTitle(tr("%1 (%2 records) - Kestrin-3 Log Viewer")
                       .arg(QFileInfo(m_path).fileName(), m_locale.toString(qlonglong(m_series.size()))));
    if (m_series.size() == 0 && !m_error.isEmpty())
        statusBar()->showMessage(m_error);
    else
        statusBar()->showMessage(tr("%1: %2 records; following the file").arg(m_path).arg(m_series.size()));
}

void LogViewWindow::refreshFigures()
{
    m_figures->setRowCount(m_series.sensors());
    auto cell = [this](int row, int column, const QString &text) {
        auto *item = new QTableWidgetItem(text);
        item->setTextAlignment(column == 0 ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignRight | Qt::AlignVCenter);
        m_figures->setItem(row, column, item);
    };
    for (int s = 0; s < m_series.sensors(); ++s) {
        const LogSeries::SensorFigures f = m_series.figures(s);
        cell(s, 0, m_chart->sensorName(s));
        cell(s, 1, NumberFormat::displayText(f.minimum, m_locale));
        cell(s, 2, NumberFormat::displayText(f.maximum, m_locale));
        cell(s, 3, m_locale.toString(f.mean, 'f', 3));
        cell(s, 4, NumberFormat::displayText(f.last, m_locale));
        cell(s, 5, m_locale.toString(f.records));
    }
}

void LogViewWindow::refreshNotices()
{
    const QString format = LocaleFormats::shortDateFourDigitYear(m_locale) + u' ' + LocaleFormats::timeWithSeconds(m_locale);
    auto when = [&](qint64 utc) { return m_locale.toString(QDateTime::fromSecsSinceEpoch(utc), format); };
    const QList<LogSeries::Gap> gaps = m_series.gaps();
    const QList<LogSeries::FlatRun> runs = m_series.flatRuns();
    // A followed log changes the list only now and then: rebuild it then.
    const qsizetype open = std::count_if(runs.begin(), runs.end(), [](const LogSeries::FlatRun &r) { return r.open; });
    const QList<qint64> signature{gaps.size(), runs.size(), open, m_skipped.size(), m_moreSkipped, m_error.size(),
                                  m_loaded, m_series.sensors()};
    if (signature == m_noticeSignature)
        return;
    m_noticeSignature = signature;
    m_notices->clear();
    if (!m_error.isEmpty())
        m_notices->addItem(m_error);
    // Shown all the same: the names go by number as far as they reach.
    if (m_siteSensors > 0 && m_series.sensors() > 0 && m_series.sensors() != m_siteSensors)
        m_notices->addItem(tr("The site file names %1 sensors, but this log's records have %2 readings: "
                              "the log is not from this site's build, or the site file changed.")
                               .arg(m_siteSensors)
                               .arg(m_series.sensors()));
    for (const LogSeries::Gap &g : gaps)
        m_notices->addItem(tr("Gap: no records from %1 to %2").arg(when(g.from), when(g.to)));
    for (const LogSeries::FlatRun &r : runs) {
        const QString value = NumberFormat::displayText(r.value, m_locale);
        m_notices->addItem(r.open ? tr("Sensor %1 has stayed at %2 since %3").arg(r.sensor + 1).arg(value, when(r.from))
                                  : tr("Sensor %1 stayed at %2 from %3 to %4")
                                        .arg(r.sensor + 1)
                                        .arg(value, when(r.from), when(r.to)));
    }
    m_notices->addItems(m_skipped);
    if (m_moreSkipped > 0)
        m_notices->addItem(tr("%1 more lines skipped; kestrin-logview --csv lists every one.").arg(m_moreSkipped));
    if (m_notices->count() == 0 && m_loaded)
        m_notices->addItem(tr("No gaps, no flat runs, no skipped lines."));
}

void LogViewWindow::chooseLog()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Open Log"), QFileInfo(m_path).absolutePath(),
                                                      tr("Logs (*.txt *.log);;All files (*)"));
    if (!path.isEmpty())
        openLog(path);
}

void LogViewWindow::addRecent(const QString &path)
{
    QSettings s;
    QStringList files = s.value(recentKey).toStringList();
    files.removeAll(path);
    files.prepend(path);
    while (files.size() > MaxRecent)
        files.removeLast();
    s.setValue(recentKey, files);
    rebuildRecent();
}

void LogViewWindow::rebuildRecent()
{
    m_recent->clear();
    const QStringList files = QSettings().value(recentKey).toStringList();
    // Numbered for their access keys; an "&" in a path is no access key.
    for (int i = 0; i < int(files.size()); ++i) {
        const QString path = files.at(i);
        QString text = path;
        m_recent->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(text.replace(u'&', QStringLiteral("&&"))), this,
                            [this, path] { openLog(path); });
    }
    m_recent->setEnabled(!files.isEmpty());
}

void LogViewWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void LogViewWindow::dropEvent(QDropEvent *event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.first().isLocalFile()) {
        openLog(urls.first().toLocalFile());
        event->acceptProposedAction();
    }
}

} // namespace kestrin
