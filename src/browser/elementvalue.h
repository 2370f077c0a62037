#pragma once

#include <QString>

#include <gumbo.h>

#include <optional>

// The `value` DOM property of form controls and the few other elements that
// have one, as a browser reports it.
namespace kestrin::elementvalue {

// nullopt for elements without such a property (span, div, td, ...).
std::optional<QString> valueOf(const GumboNode *node);
// A form control the page shows (hidden inputs are not).
bool isField(const GumboNode *node);

} // namespace kestrin::elementvalue
