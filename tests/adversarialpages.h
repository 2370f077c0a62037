#pragma once

// Pages built to cost an HTML parser, an element lookup or a text view as
// much as their size allows, each ending in the gateway's Temperature_0
// field so that a lookup has to pass everything before it. The page-freeze
// test and `kestrin_bench pagefreeze` both take their pages from here.

#include "pagescreen.h"

#include <QByteArray>
#include <QList>

#include <functional>

namespace kestrin::testing {

struct AdversarialPage
{
    QByteArray name;
    QByteArray body;
};

namespace adversarial {

// The gateway's own head: it declares Latin-1, and the degree sign in the
// tail is a raw Latin-1 byte, so every page takes the dearer way through the
// charset rules (a first parse to find the declaration, then a second).
inline const QByteArray Head = "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n<html><head>"
                               "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">"
                               "<title>1-Wire Gateway - Read DS18B20</title></head><body>\r\n";
inline const QByteArray Tail = "<input type=\"text\" id=\"Temperature_0\" name=\"Temperature_0\" value=\"21.5\" readonly>"
                               " \xB0" "C\r\n</body></html>\r\n";

// Head, then piece(0), piece(1), ... for as long as the page stays within
// `size` bytes, then `close` and the tail.
inline QByteArray build(qsizetype size, const std::function<QByteArray(int)> &piece, const QByteArray &close = {})
{
    QByteArray body = Head;
    const qsizetype room = size - Tail.size() - close.size();
    body.reserve(size);
    for (int i = 0;; ++i) {
        const QByteArray next = piece(i);
        if (next.isEmpty() || body.size() + next.size() > room)
            break;
        body += next;
    }
    return body + close + Tail;
}

inline QByteArray repeat(qsizetype size, const QByteArray &unit, const QByteArray &close = {})
{
    return build(size, [&unit](int) -> QByteArray { return unit; }, close);
}

// `open` repeated `depth` times, then flat filler up to the size.
inline QByteArray nested(qsizetype size, const QByteArray &open, int depth, const QByteArray &filler)
{
    return build(size, [&](int i) -> QByteArray { return i < depth ? open : filler; });
}

// One start tag filled with distinct attributes: a parser that checks each
// new attribute against the earlier ones pays for every pair.
inline QByteArray attributeRun(qsizetype size, const char *tag)
{
    const QByteArray open = QByteArray("<") + tag;
    return build(size, [&open](int i) -> QByteArray { return i == 0 ? open : " a" + QByteArray::number(i, 36); }, ">x");
}

} // namespace adversarial

// Every page is at most `size` bytes. The "at the limit" pages probe what a
// page may still do when it stays just inside PageScreen's `limits`.
inline QList<AdversarialPage> adversarialPages(qsizetype size, const PageScreenLimits &limits = {})
{
    const int depth = limits.maxDepth - 2; // room for the paragraph and the form around
    // Different formatting elements, as many as the reopening bound lets a
    // page of this many tags keep, each "<b class=N>" weighing 1 + 14/4.
    const int reopenable = int(limits.maxReopenWork / (size / 4) / 4);
    using namespace adversarial;
    const auto n = [](int i) -> QByteArray { return QByteArray::number(i); };
    QList<AdversarialPage> pages;
    // `count` different formatting elements left open in a paragraph that
    // then closes: the parser opens all of them again for every later text.
    const auto reopened = [&n](int i, int count) -> QByteArray {
        if (i < count)
            return (i == 0 ? QByteArray("<p>") : QByteArray()) + "<b class=" + n(i) + '>';
        return QByteArray(i == count ? "</p>" : "") + "<p>x</p>";
    };
    const auto add = [&pages](const char *name, QByteArray body) { pages.append({name, std::move(body)}); };

    // Nesting as deep as the size allows.
    add("div nesting", repeat(size, "<div>"));
    add("span nesting", repeat(size, "<span>"));
    add("b/i nesting", repeat(size, "<b><i>"));
    add("formatting elements, all different", build(size, [&](int i) -> QByteArray { return "<b id=" + n(i) + '>'; }));
    add("table/tr/td nesting", repeat(size, "<table><tr><td>"));
    add("table/td nesting, rows implied", repeat(size, "<table><td>"));
    add("ul/li nesting", repeat(size, "<ul><li>"));
    add("select/option in divs", repeat(size, "<div><select><option>"));
    add("svg nesting", build(size, [](int i) -> QByteArray { return i == 0 ? QByteArray("<svg>") : QByteArray("<g>"); }));
    add("template nesting", repeat(size, "<template>"));
    add("tables with formatting inside", repeat(size, "<table><tr><td><b><i>"));
    add("self-closing divs", repeat(size, "<div/>"));
    add("stray end tags between divs", repeat(size, "<div></span>"));
    add("unclosed mixed tags", repeat(size, "<p><div><span><em><blockquote><font>"));

    // The adoption agency algorithm at work on misnested formatting.
    add("misnested a/div", repeat(size, "<a><div>"));
    add("misnested b/p", repeat(size, "<b><p></b>"));
    add("misnested b/div, closed late", build(size, [](int i) -> QByteArray { return i % 2 ? QByteArray("</b>") : "<b><div>"; }));
    add("formatting reopened in every paragraph, deep",
        build(size, [&](int i) -> QByteArray { return reopened(i, int(size / 40)); }));

    // The same kinds, kept just inside the nesting limit.
    add("div nesting at the limit", nested(size, "<div>", depth, "<i>x</i>"));
    add("b/i nesting at the limit", nested(size, "<b><i>", depth / 2, "<p>x</p>"));
    add("table/tr/td nesting at the limit", nested(size, "<table><tr><td>", depth / 4, "<td>x"));
    add("formatting reopened in every paragraph, at the limit",
        build(size, [&](int i) -> QByteArray { return reopened(i, reopenable); }));
    add("adoption agency at the limit",
        build(size, [&](int i) -> QByteArray { return i < depth / 2 ? QByteArray("<b><div>") : QByteArray("</b><b>x"); }));

    // Sheer amounts of the cheap things.
    add("attributes at the limit, on every tag",
        build(size, [&](int) -> QByteArray {
            QByteArray tag = "<i";
            for (int a = 0; a < limits.maxAttributes; ++a)
                tag += " a" + QByteArray::number(a, 36);
            return tag + "></i>";
        }));
    add("attributes in one tag", attributeRun(size, "div"));
    add("attributes on the input", attributeRun(size, "input id=Temperature_0"));
    add("one huge text node", repeat(size, "x"));
    add("huge text with spaces", repeat(size, "x "));
    add("huge attribute value", build(size, [](int i) -> QByteArray { return i == 0 ? QByteArray("<div title=\"") : "x"; }, "\">"));
    add("huge field value", build(size, [](int i) -> QByteArray { return i == 0 ? QByteArray("<input value=\"") : "9"; }, "\">"));
    add("named entity storm", repeat(size, "&amp;&lt;&NotNestedGreaterGreater;&copy"));
    add("numeric entity storm", repeat(size, "&#x1F600;&#0;&#1114112;"));
    add("same id thousands of times", repeat(size, "<span id=Temperature_0>x</span>"));
    add("empty elements", repeat(size, "<i></i>"));
    add("line breaks", repeat(size, "<br>"));
    add("form fields", repeat(size, "<input>"));
    add("comments", repeat(size, "<!--x-->"));
    add("unclosed comment", build(size, [](int i) -> QByteArray { return i == 0 ? QByteArray("<!--") : "<div>"; }));
    add("unclosed tag", build(size, [](int i) -> QByteArray { return i == 0 ? QByteArray("<div ") : "a"; }));
    return pages;
}

} // namespace kestrin::testing
