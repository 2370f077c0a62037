#include "htmldocument.h"

#include <algorithm>

#include <QHash>
#include <QStringDecoder>
#include <QStringList>

#include <gumbo.h>

#include <functional>
#include <utility>
#include <vector>

namespace kestrin {

namespace {

enum class Charset { Unknown, Utf8, Latin1 };

Charset charsetFromLabel(QByteArray label)
{
    label = label.trimmed().toLower();
    if (label.size() >= 2 && (label.front() == '"' || label.front() == '\'') && label.back() == label.front())
        label = label.mid(1, label.size() - 2).trimmed();
    if (label == "utf-8" || label == "utf8" || label == "unicode-1-1-utf-8")
        return Charset::Utf8;
    // windows-1252 differs from Latin-1 only in 0x80..0x9F, which no gateway
    // page uses; both are read as Latin-1.
    static const char *const latin1Labels[] = {
        "iso-8859-1", "iso8859-1", "iso_8859-1", "iso88591", "latin1", "latin-1", "l1",
        "windows-1252", "cp1252", "x-cp1252", "cp819", "ibm819", "us-ascii", "ascii",
    };
    for (const char *known : latin1Labels) {
        if (label == known)
            return Charset::Latin1;
    }
    return Charset::Unknown;
}

// The charset parameter of a Content-Type value ("text/html; charset=...").
QByteArray charsetParameter(const QByteArray &contentType)
{
    const QByteArray lower = contentType.toLower();
    const qsizetype at = lower.indexOf("charset");
    if (at < 0)
        return {};
    qsizetype pos = at + 7;
    while (pos < lower.size() && (lower.at(pos) == ' ' || lower.at(pos) == '\t'))
        ++pos;
    if (pos >= lower.size() || lower.at(pos) != '=')
        return {};
    ++pos;
    qsizetype end = pos;
    while (end < lower.size() && lower.at(end) != ';' && lower.at(end) != ',')
        ++end;
    return contentType.mid(pos, end - pos).trimmed();
}

bool isValidUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString decoded = decoder.decode(bytes);
    Q_UNUSED(decoded);
    return !decoder.hasError();
}

const GumboVector *childrenOf(const GumboNode *node)
{
    switch (node->type) {
    case GUMBO_NODE_DOCUMENT:
        return &node->v.document.children;
    case GUMBO_NODE_ELEMENT:
        return &node->v.element.children;
    default:
        // Template contents are not part of the document tree a page sees.
        return nullptr;
    }
}

const GumboNode *childAt(const GumboVector *children, unsigned int i)
{
    return static_cast<const GumboNode *>(children->data[i]);
}

// Where a walk stands in one element's children. The walks keep their own
// stack of these instead of recursing: a page can nest elements far deeper
// than the call stack reaches.
struct ChildCursor
{
    const GumboVector *children;
    unsigned int next;
};

enum class Walk { Descend, Skip, Stop };

// Pre-order walk over every node below `root` (not `root` itself). `visit`
// says whether to go into the node's children, pass them by, or stop; the
// result is false when a visit stopped the walk.
bool walkNodes(const GumboNode *root, const std::function<Walk(const GumboNode *)> &visit)
{
    std::vector<ChildCursor> stack;
    if (const GumboVector *children = childrenOf(root))
        stack.push_back({children, 0});
    while (!stack.empty()) {
        ChildCursor &top = stack.back();
        if (top.next >= top.children->length) {
            stack.pop_back();
            continue;
        }
        const GumboNode *child = childAt(top.children, top.next++);
        const Walk next = visit(child);
        if (next == Walk::Stop)
            return false;
        if (next == Walk::Descend) {
            if (const GumboVector *children = childrenOf(child))
                stack.push_back({children, 0});
        }
    }
    return true;
}

// Pre-order walk over the elements below `node`; `visit` returns false to stop.
bool walkElements(const GumboNode *node, const std::function<bool(const GumboNode *)> &visit)
{
    return walkNodes(node, [&visit](const GumboNode *child) {
        if (child->type != GUMBO_NODE_ELEMENT && child->type != GUMBO_NODE_TEMPLATE)
            return Walk::Skip;
        return visit(child) ? Walk::Descend : Walk::Stop;
    });
}

GumboTag tagOf(const GumboNode *node)
{
    return node->v.element.tag;
}

std::optional<QString> attributeOf(const GumboNode *node, const char *name)
{
    if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE)
        return std::nullopt;
    const GumboAttribute *attr = gumbo_get_attribute(&node->v.element.attributes, name);
    if (!attr)
        return std::nullopt;
    return QString::fromUtf8(attr->value);
}

bool hasAttribute(const GumboNode *node, const char *name)
{
    return attributeOf(node, name).has_value();
}

void appendTextContent(const GumboNode *root, QString &out, bool skipScripts)
{
    auto text = [&out, skipScripts](const GumboNode *node) {
        switch (node->type) {
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_WHITESPACE:
        case GUMBO_NODE_CDATA:
            out += QString::fromUtf8(node->v.text.text);
            return Walk::Skip;
        case GUMBO_NODE_ELEMENT:
            return skipScripts && tagOf(node) == GUMBO_TAG_SCRIPT ? Walk::Skip : Walk::Descend;
        default:
            return Walk::Descend;
        }
    };
    if (text(root) == Walk::Descend)
        walkNodes(root, text);
}

QString textContentOf(const GumboNode *node, bool skipScripts = false)
{
    QString out;
    appendTextContent(node, out, skipScripts);
    return out;
}

// ASCII white space only, as the DOM's "strip and collapse" does.
QString stripAndCollapse(const QString &text)
{
    QString out;
    out.reserve(text.size());
    bool pendingSpace = false;
    for (const QChar c : text) {
        if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f') {
            pendingSpace = !out.isEmpty();
            continue;
        }
        if (pendingSpace)
            out += u' ';
        pendingSpace = false;
        out += c;
    }
    return out;
}

QString optionValue(const GumboNode *option)
{
    if (auto value = attributeOf(option, "value"))
        return *value;
    return stripAndCollapse(textContentOf(option, true));
}

QString selectValue(const GumboNode *select)
{
    struct Option
    {
        const GumboNode *node;
        bool disabled;
    };
    QList<Option> options;
    const GumboVector *children = childrenOf(select);
    for (unsigned int i = 0; children && i < children->length; ++i) {
        const GumboNode *child = childAt(children, i);
        if (child->type != GUMBO_NODE_ELEMENT)
            continue;
        if (tagOf(child) == GUMBO_TAG_OPTION) {
            options.append({child, hasAttribute(child, "disabled")});
        } else if (tagOf(child) == GUMBO_TAG_OPTGROUP) {
            const bool groupDisabled = hasAttribute(child, "disabled");
            const GumboVector *grouped = childrenOf(child);
            for (unsigned int j = 0; grouped && j < grouped->length; ++j) {
                const GumboNode *option = childAt(grouped, j);
                if (option->type == GUMBO_NODE_ELEMENT && tagOf(option) == GUMBO_TAG_OPTION)
                    options.append({option, groupDisabled || hasAttribute(option, "disabled")});
            }
        }
    }

    // A single-choice list keeps the last option marked selected; a multiple
    // one reports its first. With none marked, a drop-down shows the first
    // option that can be chosen.
    const bool multiple = hasAttribute(select, "multiple");
    const GumboNode *chosen = nullptr;
    for (const Option &option : std::as_const(options)) {
        if (hasAttribute(option.node, "selected")) {
            chosen = option.node;
            if (multiple)
                break;
        }
    }
    if (!chosen && !multiple) {
        for (const Option &option : std::as_const(options)) {
            if (!option.disabled) {
                chosen = option.node;
                break;
            }
        }
    }
    return chosen ? optionValue(chosen) : QString();
}

QString inputValue(const GumboNode *input)
{
    const QString type = attributeOf(input, "type").value_or(QString()).trimmed().toLower();
    const std::optional<QString> value = attributeOf(input, "value");
    if (!value)
        return (type == u"checkbox" || type == u"radio") ? QStringLiteral("on") : QString();

    static const QStringList singleLineTypes = {
        QString(), QStringLiteral("text"), QStringLiteral("search"), QStringLiteral("tel"),
        QStringLiteral("password"), QStringLiteral("url"), QStringLiteral("email"),
    };
    if (!singleLineTypes.contains(type))
        return *value;
    QString cleaned = *value;
    cleaned.remove(u'\n');
    cleaned.remove(u'\r');
    if (type == u"url" || type == u"email")
        cleaned = cleaned.trimmed();
    return cleaned;
}

// The rules for parsing integers that li.value uses; 0 when there is none.
QString listItemValue(const GumboNode *item)
{
    const QString raw = attributeOf(item, "value").value_or(QString()).trimmed();
    qsizetype end = 0;
    if (end < raw.size() && (raw.at(end) == u'-' || raw.at(end) == u'+'))
        ++end;
    const qsizetype digitsStart = end;
    while (end < raw.size() && raw.at(end) >= u'0' && raw.at(end) <= u'9')
        ++end;
    if (end == digitsStart)
        return QStringLiteral("0");
    bool ok = false;
    const int number = raw.left(end).toInt(&ok);
    return QString::number(ok ? number : 0);
}

bool isBlock(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_ADDRESS: case GUMBO_TAG_ARTICLE: case GUMBO_TAG_ASIDE: case GUMBO_TAG_BLOCKQUOTE:
    case GUMBO_TAG_BR: case GUMBO_TAG_CAPTION: case GUMBO_TAG_CENTER: case GUMBO_TAG_DD:
    case GUMBO_TAG_DIV: case GUMBO_TAG_DL: case GUMBO_TAG_DT: case GUMBO_TAG_FIELDSET:
    case GUMBO_TAG_FIGURE: case GUMBO_TAG_FOOTER: case GUMBO_TAG_FORM: case GUMBO_TAG_H1:
    case GUMBO_TAG_H2: case GUMBO_TAG_H3: case GUMBO_TAG_H4: case GUMBO_TAG_H5:
    case GUMBO_TAG_H6: case GUMBO_TAG_HEADER: case GUMBO_TAG_HR: case GUMBO_TAG_LI:
    case GUMBO_TAG_MAIN: case GUMBO_TAG_NAV: case GUMBO_TAG_OL: case GUMBO_TAG_P:
    case GUMBO_TAG_PRE: case GUMBO_TAG_SECTION: case GUMBO_TAG_TABLE: case GUMBO_TAG_TR:
    case GUMBO_TAG_UL: case GUMBO_TAG_BODY:
        return true;
    default:
        return false;
    }
}

bool isHidden(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_HEAD: case GUMBO_TAG_SCRIPT: case GUMBO_TAG_STYLE: case GUMBO_TAG_TITLE:
    case GUMBO_TAG_TEMPLATE: case GUMBO_TAG_OPTION: case GUMBO_TAG_OPTGROUP: case GUMBO_TAG_TEXTAREA:
    case GUMBO_TAG_META: case GUMBO_TAG_LINK: case GUMBO_TAG_IFRAME: case GUMBO_TAG_OBJECT:
    case GUMBO_TAG_EMBED: case GUMBO_TAG_NOEMBED: case GUMBO_TAG_NOFRAMES:
        return true;
    default:
        return false;
    }
}

bool isField(const GumboNode *node)
{
    if (node->type != GUMBO_NODE_ELEMENT)
        return false;
    switch (tagOf(node)) {
    case GUMBO_TAG_INPUT:
        return attributeOf(node, "type").value_or(QString()).trimmed().compare(u"hidden", Qt::CaseInsensitive) != 0;
    case GUMBO_TAG_TEXTAREA:
    case GUMBO_TAG_SELECT:
        return true;
    default:
        return false;
    }
}

std::optional<QString> valueOf(const GumboNode *node);

// Builds the plain-text rendering line by line, collapsing white space.
class TextRenderer final
{
public:
    void render(const GumboNode *root)
    {
        enter(root);
        while (!m_open.empty()) {
            OpenNode &top = m_open.back();
            if (top.next < top.children->length) {
                const GumboNode *child = childAt(top.children, top.next++);
                enter(child);
                continue;
            }
            const OpenNode done = top;
            m_open.pop_back();
            if (done.block)
                endLine();
            if (done.cell)
                m_pendingSpace = !m_line.isEmpty();
        }
    }

    QString result()
    {
        endLine();
        return m_lines.join(u'\n');
    }

private:
    // A node whose children are being rendered, with what to do after them.
    struct OpenNode
    {
        const GumboVector *children;
        unsigned int next;
        bool block;
        bool cell;
    };

    // Renders a leaf at once, or opens a node whose children follow.
    void enter(const GumboNode *node)
    {
        switch (node->type) {
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_WHITESPACE:
        case GUMBO_NODE_CDATA:
            addText(QString::fromUtf8(node->v.text.text));
            return;
        case GUMBO_NODE_DOCUMENT:
            break;
        case GUMBO_NODE_ELEMENT:
            if (isField(node)) {
                addText(u'[' + valueOf(node).value_or(QString()) + u']');
                return;
            }
            if (isHidden(tagOf(node)))
                return;
            break;
        default:
            return;
        }
        const bool block = node->type == GUMBO_NODE_ELEMENT && isBlock(tagOf(node));
        const bool cell = node->type == GUMBO_NODE_ELEMENT
            && (tagOf(node) == GUMBO_TAG_TD || tagOf(node) == GUMBO_TAG_TH);
        if (block)
            endLine();
        if (cell)
            m_pendingSpace = !m_line.isEmpty();
        const GumboVector *children = childrenOf(node);
        if (children) {
            m_open.push_back({children, 0, block, cell});
            return;
        }
        if (block)
            endLine();
        if (cell)
            m_pendingSpace = !m_line.isEmpty();
    }

    void addText(const QString &text)
    {
        for (const QChar c : text) {
            if (c.isSpace()) {
                m_pendingSpace = !m_line.isEmpty();
                continue;
            }
            if (m_pendingSpace)
                m_line += u' ';
            m_pendingSpace = false;
            m_line += c;
        }
    }

    void endLine()
    {
        if (!m_line.isEmpty())
            m_lines.append(m_line);
        m_line.clear();
        m_pendingSpace = false;
    }

    std::vector<OpenNode> m_open;
    QStringList m_lines;
    QString m_line;
    bool m_pendingSpace = false;
};

std::optional<QString> valueOf(const GumboNode *node)
{
    if (node->type != GUMBO_NODE_ELEMENT)
        return std::nullopt;
    switch (tagOf(node)) {
    case GUMBO_TAG_INPUT:
        return inputValue(node);
    case GUMBO_TAG_TEXTAREA:
    case GUMBO_TAG_OUTPUT:
        return textContentOf(node);
    case GUMBO_TAG_SELECT:
        return selectValue(node);
    case GUMBO_TAG_OPTION:
        return optionValue(node);
    case GUMBO_TAG_BUTTON:
    case GUMBO_TAG_DATA:
    case GUMBO_TAG_PARAM:
        return attributeOf(node, "value").value_or(QString());
    case GUMBO_TAG_LI:
        return listItemValue(node);
    default:
        return std::nullopt;
    }
}

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

Charset metaCharset(const GumboNode *document)
{
    Charset found = Charset::Unknown;
    walkElements(document, [&found](const GumboNode *node) {
        if (tagOf(node) != GUMBO_TAG_META)
            return true;
        if (auto charset = attributeOf(node, "charset"))
            found = charsetFromLabel(charset->toLatin1());
        else if (attributeOf(node, "http-equiv").value_or(QString()).trimmed().compare(u"content-type", Qt::CaseInsensitive) == 0)
            found = charsetFromLabel(charsetParameter(attributeOf(node, "content").value_or(QString()).toLatin1()));
        return found == Charset::Unknown;
    });
    return found;
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
    TextRenderer renderer;
    renderer.render(root);
    return renderer.result();
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
