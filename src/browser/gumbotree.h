#pragma once

#include <QString>

#include <gumbo.h>

#include <functional>
#include <optional>

// Reading gumbo's tree: walks that keep their own stack instead of recursing
// (a page can nest elements far deeper than the call stack reaches), and the
// attribute and text lookups the document, its values and its text share.
namespace kestrin::gumbotree {

// The children of a document or element node; null for every other node.
// Template contents are not part of the document tree a page sees.
const GumboVector *childrenOf(const GumboNode *node);
const GumboNode *childAt(const GumboVector *children, unsigned int i);

enum class Walk { Descend, Skip, Stop };

// Pre-order walk over every node below `root` (not `root` itself). `visit`
// says whether to go into the node's children, pass them by, or stop; the
// result is false when a visit stopped the walk.
bool walkNodes(const GumboNode *root, const std::function<Walk(const GumboNode *)> &visit);
// Pre-order walk over the elements below `node`; `visit` returns false to stop.
bool walkElements(const GumboNode *node, const std::function<bool(const GumboNode *)> &visit);

inline GumboTag tagOf(const GumboNode *node)
{
    return node->v.element.tag;
}

// Entity-decoded attribute value; nullopt when absent or not an element.
std::optional<QString> attributeOf(const GumboNode *node, const char *name);
bool hasAttribute(const GumboNode *node, const char *name);

// All text below `node`, as the DOM's textContent gives it.
QString textContentOf(const GumboNode *node, bool skipScripts = false);
// ASCII white space only, as the DOM's "strip and collapse" does.
QString stripAndCollapse(const QString &text);

} // namespace kestrin::gumbotree
