#pragma once

#include <QString>

#include <gumbo.h>

// The plain-text rendering of a page the browser view shows.
namespace kestrin::pagetext {

// The page's visible text, one line per block, white space collapsed; form
// controls appear inline as "[value]".
QString render(const GumboNode *root);

} // namespace kestrin::pagetext
