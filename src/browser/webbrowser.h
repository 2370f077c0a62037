#pragma once

#include "htmldocument.h"
#include "pageloader.h"

#include <QElapsedTimer>
#include <QWidget>

#include <memory>

class QPlainTextEdit;
class QTimer;

namespace kestrin {

// Declared outside the class so it can serve as a defaulted constructor
// argument.
struct WebBrowserOptions
{
    // Gateway pages are 1-2 KB; 16 KiB leaves them room to grow eightfold,
    // and at this size even the parser's worst shapes that PageScreen lets
    // through cost it a few tens of milliseconds on the GUI thread.
    PageLoaderOptions loader = {.maxBodyBytes = 16384};
    // A failed load completes no sooner than this after Navigate, so a
    // caller polling an unreachable host does not spin.
    int minFailedLoadMs = 1000;
};

// The embedded browser view: loads one page at a time and shows a plain-text
// rendering of it (title, text, form field values). It never runs scripts,
// follows links or loads anything but the page navigated to.
class WebBrowser : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WebBrowser)

public:
    using Options = WebBrowserOptions;

    explicit WebBrowser(QWidget *parent = nullptr, Options options = {});
    ~WebBrowser() override;

    // Starts loading `url`, sent byte for byte as its UTF-8 form.
    void Navigate(const QString &url);
    // 0 before the first Navigate, 1 while loading, 4 once the load completed
    // (successfully or with our own error page).
    int ReadyState() const { return m_readyState; }
    // The last completed page, or nullptr before the first completed load.
    const HtmlDocument *Document() const { return m_document.get(); }
    // Why the last completed load brought no page of the server's (the
    // reason our own error page gives); empty when it did.
    QString LoadError() const { return m_loadError; }

    // What the view shows once a redraw still held back is done.
    QString displayedText();

private:
    void onLoaderFinished(const PageLoader::Result &result);
    void completeFailedLoad();
    void complete(HtmlDocument document);
    void scheduleRender();
    void render();

    // One frame: a page view may lag the read it belongs to by no more.
    static constexpr qint64 RenderIntervalMs = 40;

    Options m_options;
    PageLoader *m_loader = nullptr;
    QPlainTextEdit *m_view = nullptr;
    QTimer *m_failHold = nullptr; // holds a failed load back to minFailedLoadMs
    QTimer *m_renderTimer = nullptr;
    QElapsedTimer m_lastRender;
    QElapsedTimer m_navigateClock;
    QString m_url;
    QString m_loadError;
    std::unique_ptr<HtmlDocument> m_document;
    std::unique_ptr<HtmlDocument> m_pendingError;
    int m_readyState = 0;
};

} // namespace kestrin
