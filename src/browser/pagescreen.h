#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace kestrin {

// Declared outside the class so it can serve as a defaulted argument.
struct PageScreenLimits
{
    // Elements open inside one another. The parser's work per tag grows with
    // the depth, so a page's cost grows with the square of it.
    int maxDepth = 256;
    // Attributes on one element: each new one is checked against all earlier.
    int maxAttributes = 64;
    // Formatting elements (b, i, font ...) left open are opened again for
    // every later piece of text; this bounds their number, weighted by their
    // size, times the tags that could make them close and open again.
    qint64 maxReopenWork = 65536;
};

// A quick look at a page's markup, before it is parsed, for the shapes that
// make an HTML parser's time grow faster than the page: a page within the
// size cap that stays inside these limits is parsed in milliseconds. Gateway
// pages are a few flat tables and a form, far inside every limit.
class PageScreen final
{
public:
    using Limits = PageScreenLimits;

    // Why the page should not be parsed, as a clause for "The page was not
    // shown: ..."; nullopt when it may be.
    static std::optional<QString> refusal(const QByteArray &body, const Limits &limits = {});
};

} // namespace kestrin
