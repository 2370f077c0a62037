#pragma once

#include <QByteArray>

#include <gumbo.h>

// Which charset a page's bytes are in: the labels this browser knows, and
// where a page may declare one.
namespace kestrin::pagecharset {

enum class Charset { Unknown, Utf8, Latin1 };

Charset charsetFromLabel(QByteArray label);
// The charset parameter of a Content-Type value ("text/html; charset=...").
QByteArray charsetParameter(const QByteArray &contentType);
bool isValidUtf8(const QByteArray &bytes);
// The charset a parsed page declares in its <meta> elements.
Charset metaCharset(const GumboNode *document);

} // namespace kestrin::pagecharset
