#include "webbrowser.h"

#include "pagescreen.h"

#include <QPlainTextEdit>
#include <QStringList>
#include <QTimer>
#include <QVBoxLayout>

namespace kestrin {

using namespace Qt::StringLiterals;

namespace {

// Our own page for a load that failed: it says what happened and holds no
// form fields, so element lookups on it find nothing.
HtmlDocument errorPage(const QString &title, const QString &paragraph, const QString &detail = {})
{
    QString html = u"<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>"_s + title.toHtmlEscaped()
        + u"</title></head><body><h1>"_s + title.toHtmlEscaped() + u"</h1><p>"_s + paragraph.toHtmlEscaped()
        + u"</p>"_s;
    if (!detail.isEmpty())
        html += u"<p>"_s + detail.toHtmlEscaped() + u"</p>"_s;
    html += u"</body></html>"_s;
    return HtmlDocument::parse(html.toUtf8(), "text/html; charset=utf-8");
}

HtmlDocument loadFailedPage(const QString &url, const QString &reason)
{
    return errorPage(u"Page not available"_s, u"The page "_s + url + u" could not be loaded."_s, reason);
}

HtmlDocument refusedPage(const QString &url, const QString &reason)
{
    return errorPage(u"Page not shown"_s, u"The page was not shown: "_s + reason + u"."_s,
                     u"Address: "_s + url);
}

} // namespace

WebBrowser::WebBrowser(QWidget *parent, Options options)
    : QWidget(parent), m_options(options)
{
    m_loader = new PageLoader(this, options.loader);
    connect(m_loader, &PageLoader::finished, this, &WebBrowser::onLoaderFinished);

    m_failHold = new QTimer(this);
    m_failHold->setSingleShot(true);
    m_failHold->setTimerType(Qt::PreciseTimer);
    connect(m_failHold, &QTimer::timeout, this, &WebBrowser::completeFailedLoad);

    // A plain-text view: nothing from the page reaches a rich-text engine
    // that could fetch images or style sheets.
    m_view = new QPlainTextEdit(this);
    m_view->setObjectName(QStringLiteral("pageView"));
    m_view->setReadOnly(true);
    m_view->setUndoRedoEnabled(false);
    m_view->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    // Laying out the page text is the dearest part of a read; against a fast
    // gateway pages arrive far quicker than anyone can read them, so the
    // view takes a new page at most once a frame, always the latest. At a
    // slower pace every page is shown the moment it completes.
    m_renderTimer = new QTimer(this);
    m_renderTimer->setSingleShot(true);
    connect(m_renderTimer, &QTimer::timeout, this, &WebBrowser::render);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
}

WebBrowser::~WebBrowser() = default;

void WebBrowser::Navigate(const QString &url)
{
    m_failHold->stop();
    m_pendingError.reset();
    m_url = url;
    m_navigateClock.start();
    m_readyState = 1;
    m_loader->start(url.toUtf8());
}

QString WebBrowser::displayedText()
{
    if (m_renderTimer->isActive()) {
        m_renderTimer->stop();
        render();
    }
    return m_view->toPlainText();
}

void WebBrowser::onLoaderFinished(const PageLoader::Result &result)
{
    if (result.ok) {
        // Parsing runs on the GUI thread in one piece, so a page whose shape
        // would keep the parser busy is refused unread, like a failed load.
        const std::optional<QString> refused = PageScreen::refusal(result.body);
        if (!refused) {
            m_loadError.clear();
            complete(HtmlDocument::parse(result.body, result.contentType));
            return;
        }
        m_loadError = *refused;
        m_pendingError = std::make_unique<HtmlDocument>(refusedPage(m_url, *refused));
    } else {
        m_loadError = result.error;
        m_pendingError = std::make_unique<HtmlDocument>(loadFailedPage(m_url, result.error));
    }
    const qint64 remaining = m_options.minFailedLoadMs - m_navigateClock.elapsed();
    if (remaining > 0)
        m_failHold->start(int(remaining));
    else
        completeFailedLoad();
}

void WebBrowser::completeFailedLoad()
{
    if (!m_pendingError)
        return;
    // Timers may run a little early; never complete before the minimum.
    const qint64 remaining = m_options.minFailedLoadMs - m_navigateClock.elapsed();
    if (remaining > 0) {
        m_failHold->start(int(remaining));
        return;
    }
    HtmlDocument page = std::move(*m_pendingError);
    m_pendingError.reset();
    complete(std::move(page));
}

void WebBrowser::complete(HtmlDocument document)
{
    m_document = std::make_unique<HtmlDocument>(std::move(document));
    scheduleRender();
    m_readyState = 4;
}

void WebBrowser::scheduleRender()
{
    if (m_renderTimer->isActive())
        return; // the pending redraw will show this page
    const qint64 sinceLast = m_lastRender.isValid() ? m_lastRender.elapsed() : RenderIntervalMs;
    if (sinceLast >= RenderIntervalMs)
        render();
    else
        m_renderTimer->start(int(RenderIntervalMs - sinceLast));
}

void WebBrowser::render()
{
    m_lastRender.start();
    if (!m_document)
        return;
    QStringList parts;
    const QString title = m_document->title();
    if (!title.isEmpty())
        parts << title << QString();
    const QString text = m_document->text();
    if (!text.isEmpty())
        parts << text;
    const QList<HtmlDocument::Field> fields = m_document->fields();
    if (!fields.isEmpty()) {
        parts << QString();
        for (const HtmlDocument::Field &field : fields)
            parts << field.label + u": "_s + field.value;
    }
    m_view->setPlainText(parts.join(u'\n'));
}

} // namespace kestrin
