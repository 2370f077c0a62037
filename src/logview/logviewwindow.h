#pragma once

#include "logbatch.h"
#include "logseries.h"

#include <QLocale>
#include <QMainWindow>
#include <QThread>

class QLabel;
class QListWidget;
class QMenu;
class QProgressBar;
class QTableWidget;

namespace kestrin {

class LogChartView;
class LogFollower;

// The viewer's window: the chart, the per-sensor table, a list of what the
// user should notice (gaps, flat runs, lines that are no record). The log is
// read and followed on a thread of its own; the window only takes the
// records it is handed.
class LogViewWindow final : public QMainWindow
{
    Q_OBJECT

public:
    explicit LogViewWindow(const QLocale &locale, QWidget *parent = nullptr);
    ~LogViewWindow() override;

    void openLog(const QString &path);
    // The site file's labels by sensor ("1 Freezer 2"; empty where a sensor
    // has no name) and how many sensors it has (0: no site file).
    void setSensorNames(const QStringList &labels, int siteSensors);
    LogChartView *chartView() const { return m_chart; }
    const LogSeries &series() const { return m_series; }

Q_SIGNALS:
    // Everything the file held when it was opened is on the chart.
    void chartShown(qint64 records);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void closeLog();
    void take(const kestrin::LogBatchPtr &batch);
    void caughtUp(qint64 records);
    void restarted();
    void failed(const QString &reason);
    void refresh();
    void resetHover();
    void showCount();
    void refreshFigures();
    void refreshNotices();
    void addRecent(const QString &path);
    void rebuildRecent();
    void chooseLog();

    QLocale m_locale;
    LogSeries m_series;
    LogChartView *m_chart;
    QLabel *m_hover;
    QTableWidget *m_figures;
    QListWidget *m_notices;
    QProgressBar *m_progress;
    QMenu *m_recent;
    QThread m_thread;
    LogFollower *m_follower = nullptr;
    QString m_path;
    QStringList m_skipped;
    qint64 m_moreSkipped = 0;
    QList<qint64> m_noticeSignature;
    QString m_error;
    bool m_loaded = false;
    bool m_refreshPending = false;
    int m_siteSensors = 0;
    quint64 m_load = 0; // which opening of a log the reader's signals belong to
};

} // namespace kestrin
