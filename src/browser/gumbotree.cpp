#include "gumbotree.h"

#include <vector>

namespace kestrin::gumbotree {

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

namespace {

// Where a walk stands in one element's children. The walks keep their own
// stack of these instead of recursing: a page can nest elements far deeper
// than the call stack reaches.
struct ChildCursor
{
    const GumboVector *children;
    unsigned int next;
};

} // namespace

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

bool walkElements(const GumboNode *node, const std::function<bool(const GumboNode *)> &visit)
{
    return walkNodes(node, [&visit](const GumboNode *child) {
        if (child->type != GUMBO_NODE_ELEMENT && child->type != GUMBO_NODE_TEMPLATE)
            return Walk::Skip;
        return visit(child) ? Walk::Descend : Walk::Stop;
    });
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

namespace {

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

} // namespace

QString textContentOf(const GumboNode *node, bool skipScripts)
{
    QString out;
    appendTextContent(node, out, skipScripts);
    return out;
}

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

} // namespace kestrin::gumbotree
