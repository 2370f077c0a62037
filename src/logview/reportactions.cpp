#include "reportactions.h"

#include "localepaper.h"
#include "logseries.h"
#include "reportbuilder.h"
#include "reportcsvwriter.h"
#include "reportfile.h"
#include "reportoptionsdialog.h"
#include "reportpainter.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QThread>

namespace kestrin {

namespace {

QDate localDate(const LogSeries &series, qsizetype i)
{
    return QDateTime::fromSecsSinceEpoch(series.times()[i] + series.offsetAt(i), Qt::UTC).date();
}

} // namespace

ReportActions::ReportActions(const LogSeries &series, const QLocale &locale, Source source, QWidget *window)
    : QObject(window)
    , m_series(series)
    , m_locale(locale)
    , m_source(std::move(source))
    , m_window(window)
{
}

void ReportActions::addTo(QMenu *menu)
{
    QAction *print = menu->addAction(tr("&Print Report..."), this, &ReportActions::print);
    print->setShortcut(QKeySequence::Print);
    menu->addAction(tr("&Export Report..."), this, &ReportActions::exportReport);
}

std::unique_ptr<ReportOptionsDialog> ReportActions::options()
{
    if (m_series.size() == 0) {
        QMessageBox::information(m_window, tr("Report"), tr("The log has no records to report yet."));
        return nullptr;
    }
    return std::make_unique<ReportOptionsDialog>(localDate(m_series, 0), localDate(m_series, m_series.size() - 1),
                                                 m_locale, m_window);
}

std::optional<Report> ReportActions::prepare(const ReportOptionsDialog &options)
{
    // A year of log takes seconds to hash: on a thread of its own, while
    // the window goes on following the log.
    const QString path = m_source.path();
    ReportFile::Digest digest;
    QProgressDialog progress(tr("Working out the SHA-256 of %1...").arg(QFileInfo(path).fileName()), QString(), 0, 0,
                             m_window);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    QEventLoop wait;
    std::unique_ptr<QThread> worker(QThread::create([&] { digest = ReportFile::digest(path); }));
    connect(worker.get(), &QThread::finished, &wait, &QEventLoop::quit);
    worker->start();
    wait.exec();
    worker->wait();
    progress.reset();
    if (digest.sha256.isEmpty()) {
        QMessageBox::warning(m_window, tr("Report"), tr("%1 cannot be read for its SHA-256.").arg(QDir::toNativeSeparators(path)));
        return std::nullopt;
    }

    const PeriodSplitter splitter(QTimeZone::systemTimeZone(), m_locale.firstDayOfWeek());
    QApplication::setOverrideCursor(Qt::WaitCursor);
    Report report = ReportBuilder(splitter).build(m_series, m_site, options.period(), options.from(), options.to());
    QApplication::restoreOverrideCursor();
    report.source.fileName = QFileInfo(path).fileName();
    report.source.sha256 = digest.sha256;
    report.source.bytes = digest.bytes;
    report.source.linesSkipped = m_source.linesSkipped();
    report.source.made = QDateTime::currentDateTime();
    return report;
}

QPageSize ReportActions::paper() const
{
    // The environment's paper (LC_PAPER) unless the log's locale was chosen.
    return LocalePaper::forLocale(m_locale == QLocale::system() ? QString() : m_locale.name(), m_locale);
}

void ReportActions::print()
{
    const auto dialog = options();
    if (!dialog || dialog->exec() != QDialog::Accepted)
        return;
    const auto report = prepare(*dialog);
    if (!report)
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(paper());
    printer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    // The print dialog offers the document's name for a PDF file.
    printer.setDocName(QFileInfo(report->source.fileName).completeBaseName() + QStringLiteral("-report"));
    QPrintPreviewDialog preview(&printer, m_window);
    preview.setWindowTitle(tr("Print Report"));
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [&](QPrinter *target) { ReportPainter(*report, m_locale).paint(*target); });
    preview.exec();
}

void ReportActions::exportReport()
{
    const auto dialog = options();
    if (!dialog || dialog->exec() != QDialog::Accepted)
        return;
    const QString pdfFilter = tr("PDF for people (*.pdf)"), csvFilter = tr("CSV for machines (*.csv)");
    QString filter = pdfFilter;
    const QString base = QFileInfo(m_source.path()).completeBaseName();
    QString path = QFileDialog::getSaveFileName(m_window, tr("Export Report"),
                                                QFileInfo(m_source.path()).absoluteDir().filePath(base + QStringLiteral("-report.pdf")),
                                                pdfFilter + QStringLiteral(";;") + csvFilter, &filter);
    if (path.isEmpty())
        return;
    const bool csv = filter == csvFilter || path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive);
    const auto report = prepare(*dialog);
    if (!report)
        return;
    const QByteArray bytes = csv ? ReportCsvWriter::write(*report) : ReportFile::pdf(*report, m_locale, paper());
    if (const auto error = ReportFile::save(path, bytes))
        QMessageBox::warning(m_window, tr("Export Report"), tr("Cannot write the report:\n%1").arg(*error));
}

} // namespace kestrin
