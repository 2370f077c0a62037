#include "htmldocument.h"

#include "elementvalue.h"
#include "gumbotree.h"
#include "pagecharset.h"
#include "pagetext.h"

#include <QHash>
#include <QStringDecoder>

#include <gumbo.h>

#include <algorithm>
#include <utility>

namespace kestrin {

using namespace gumbotree;
using namespace pagecharset;
using elementvalue::isField;
using elementvalue::valueOf;

namespace {

// Gumbo keeps every parse error with a copy of the stack of open elements at
// that point, so a page of a few thousand unclosed tags would cost gigabytes.
// Nothing here reads the errors, so none are kept.
const GumboOptions *parserOptions()
{
    static const GumboOptions options = [] {
        GumboOptions o = kGumboDefaultOptions;
        o.max_errors = 0;
        return o;
    }();
    return &options;
}

const GumboNode *rootOf(const GumboInternalOutput *output)
{
    return output ? output->document : nullptr;
}

} // namespace

QString HtmlElement::tagName() const
{
    if (tagOf(m_node) != GUMBO_TAG_UNKNOWN)
        return QString::fromLatin1(gumbo_normalized_tagname(tagOf(m_node)));
    GumboStringPiece piece = m_node->v.element.original_tag;
    gumbo_tag_from_original_text(&piece);
    return QString::fromUtf8(piece.data, qsizetype(piece.length)).toLower();
}

std::optional<QString> HtmlElement::attribute(const QString &name) const
{
    return attributeOf(m_node, name.toLower().toUtf8().constData());
}

QString HtmlElement::textContent() const
{
    return textContentOf(m_node);
}

std::optional<QString> HtmlElement::Value() const
{
    return valueOf(m_node);
}

HtmlDocument HtmlDocument::parse(const QByteArray &body, const QByteArray &contentType)
{
    HtmlDocument doc;
    auto parseUtf8 = [&doc](QByteArray utf8, const char *charset) {
        if (doc.m_output)
            gumbo_destroy_output(parserOptions(), doc.m_output);
        doc.m_utf8 = std::move(utf8);
        doc.m_charset = charset;
        doc.m_output = gumbo_parse_with_options(parserOptions(), doc.m_utf8.constData(),
                                                size_t(doc.m_utf8.size()));
    };
    auto parseAs = [&](Charset charset, const QByteArray &bytes) {
        if (charset == Charset::Latin1)
            parseUtf8(QString::fromLatin1(bytes).toUtf8(), "ISO-8859-1");
        else
            parseUtf8(bytes, "UTF-8");
    };

    // A byte-order mark outranks every declaration.
    if (body.startsWith("\xEF\xBB\xBF")) {
        parseAs(Charset::Utf8, body.mid(3));
        return doc;
    }
    if (body.startsWith("\xFF\xFE") || body.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(body.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        const QString decoded = decoder.decode(body.mid(2));
        parseUtf8(decoded.toUtf8(), "UTF-8");
        return doc;
    }

    const Charset declared = charsetFromLabel(charsetParameter(contentType));
    if (declared != Charset::Unknown) {
        parseAs(declared, body);
        return doc;
    }

    // The <meta> declaration is ASCII, so a first parse of the raw bytes
    // finds it whatever the rest of the page is encoded in.
    parseAs(Charset::Utf8, body);
    Charset fromMeta = metaCharset(rootOf(doc.m_output));
    if (fromMeta == Charset::Unknown)
        fromMeta = isValidUtf8(body) ? Charset::Utf8 : Charset::Latin1;
    if (fromMeta == Charset::Latin1) {
        // Plain ASCII reads the same in both, so the first parse stands.
        const bool ascii = std::all_of(body.cbegin(), body.cend(), [](char c) { return (uchar(c) & 0x80) == 0; });
        if (ascii)
            doc.m_charset = "ISO-8859-1";
        else
            parseAs(Charset::Latin1, body);
    }
    return doc;
}

HtmlDocument::HtmlDocument(HtmlDocument &&other) noexcept
    : m_utf8(std::move(other.m_utf8)),
      m_charset(std::move(other.m_charset)),
      m_output(std::exchange(other.m_output, nullptr))
{
}

HtmlDocument &HtmlDocument::operator=(HtmlDocument &&other) noexcept
{
    if (this != &other) {
        if (m_output)
            gumbo_destroy_output(parserOptions(), m_output);
        m_utf8 = std::move(other.m_utf8);
        m_charset = std::move(other.m_charset);
        m_output = std::exchange(other.m_output, nullptr);
    }
    return *this;
}

HtmlDocument::~HtmlDocument()
{
    if (m_output)
        gumbo_destroy_output(parserOptions(), m_output);
}

std::optional<HtmlElement> HtmlDocument::getElementById(const QString &id) const
{
    const GumboNode *root = rootOf(m_output);
    if (!root || id.isEmpty())
        return std::nullopt;
    const QByteArray wanted = id.toUtf8();
    auto find = [root, &wanted](const char *attribute) -> const GumboNode * {
        const GumboNode *hit = nullptr;
        walkElements(root, [&](const GumboNode *node) {
            if (node->type != GUMBO_NODE_ELEMENT)
                return true;
            const GumboAttribute *attr = gumbo_get_attribute(&node->v.element.attributes, attribute);
            if (attr && wanted == attr->value)
                hit = node;
            return hit == nullptr;
        });
        return hit;
    };
    if (const GumboNode *byId = find("id"))
        return HtmlElement(byId);
    if (const GumboNode *byName = find("name"))
        return HtmlElement(byName);
    return std::nullopt;
}

QString HtmlDocument::title() const
{
    const GumboNode *root = rootOf(m_output);
    if (!root)
        return {};
    QString title;
    walkElements(root, [&title](const GumboNode *node) {
        if (tagOf(node) != GUMBO_TAG_TITLE || node->type != GUMBO_NODE_ELEMENT)
            return true;
        title = stripAndCollapse(textContentOf(node));
        return false;
    });
    return title;
}

QString HtmlDocument::text() const
{
    const GumboNode *root = rootOf(m_output);
    if (!root)
        return {};
    return pagetext::render(root);
}

QList<HtmlDocument::Field> HtmlDocument::fields() const
{
    const GumboNode *root = rootOf(m_output);
    if (!root)
        return {};

    QHash<QString, QString> labels;
    walkElements(root, [&labels](const GumboNode *node) {
        if (node->type == GUMBO_NODE_ELEMENT && tagOf(node) == GUMBO_TAG_LABEL) {
            const QString target = attributeOf(node, "for").value_or(QString());
            if (!target.isEmpty() && !labels.contains(target))
                labels.insert(target, stripAndCollapse(textContentOf(node, true)));
        }
        return true;
    });

    QList<Field> result;
    walkElements(root, [&](const GumboNode *node) {
        if (!isField(node))
            return true;
        const QString id = attributeOf(node, "id").value_or(QString());
        QString label = labels.value(id);
        if (label.isEmpty())
            label = attributeOf(node, "name").value_or(id);
        if (label.isEmpty())
            label = id;
        result.append({label, valueOf(node).value_or(QString())});
        return true;
    });
    return result;
}

} // namespace kestrin