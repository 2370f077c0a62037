#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

struct GumboInternalNode;
struct GumboInternalOutput;

namespace kestrin {

// A light handle on one element of an HtmlDocument. It is only valid while
// the document it came from is alive (moving the document keeps it valid).
class HtmlElement final
{
public:
    // Lower-case tag name ("input", "span", ...).
    QString tagName() const;
    // Attribute value, entity-decoded; nullopt when the attribute is absent.
    std::optional<QString> attribute(const QString &name) const;
    // All text below the element, as the DOM's textContent gives it.
    QString textContent() const;

    // The element's `value` DOM property as a browser reports it, or nullopt
    // for elements that have no such property (span, div, td, ...).
    std::optional<QString> Value() const;

private:
    friend class HtmlDocument;
    explicit HtmlElement(const GumboInternalNode *node) : m_node(node) {}

    const GumboInternalNode *m_node;
};

// A parsed HTML page. Parsing never fetches or runs anything: scripts, styles
// and external resources are ignored, so it is safe on untrusted pages.
class HtmlDocument final
{
public:
    // A form control as the page shows it, for the read-only view.
    struct Field
    {
        QString label;
        QString value;
    };

    // Decodes `body` using the charset of `contentType`, else the page's own
    // <meta> declaration, else UTF-8 when valid, else Latin-1.
    static HtmlDocument parse(const QByteArray &body, const QByteArray &contentType = {});

    HtmlDocument(HtmlDocument &&other) noexcept;
    HtmlDocument &operator=(HtmlDocument &&other) noexcept;
    HtmlDocument(const HtmlDocument &) = delete;
    HtmlDocument &operator=(const HtmlDocument &) = delete;
    ~HtmlDocument();

    // First element in document order whose id is exactly `id`; failing that,
    // the first whose name attribute is `id`.
    std::optional<HtmlElement> getElementById(const QString &id) const;

    // The <title> text with white space collapsed.
    QString title() const;
    // The page's visible text, one line per block; form controls appear
    // inline as "[value]".
    QString text() const;
    // The visible form controls with their labels and current values.
    QList<Field> fields() const;

    // The charset the body was decoded from ("UTF-8" or "ISO-8859-1").
    QByteArray sourceCharset() const { return m_charset; }

private:
    HtmlDocument() = default;

    QByteArray m_utf8; // gumbo's positions point into this buffer
    QByteArray m_charset;
    GumboInternalOutput *m_output = nullptr;
};

} // namespace kestrin
