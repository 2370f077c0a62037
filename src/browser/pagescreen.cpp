#include "pagescreen.h"

#include <QByteArrayView>
#include <QHash>
#include <QStringDecoder>

#include <algorithm>
#include <vector>

namespace kestrin {

namespace {

bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool isOneOf(const QByteArray &name, std::initializer_list<const char *> names)
{
    return std::any_of(names.begin(), names.end(), [&name](const char *n) { return name == n; });
}

// What the parser makes of an element's name, looked up once per tag: a page
// is screened on every read, so this is one hash lookup, not list walks.
enum Kind : unsigned {
    // Re-created on its own after being closed by something else (the list
    // of active formatting elements).
    Formatting = 1,
    // Never opens; "html", "head" and "body" merge into the parser's own.
    Void = 2,
    RawText = 4,
    // Where an end tag for an element inside stops looking.
    ScopeBoundary = 8,
    Special = 16,
    // Start tags that close an open paragraph.
    ClosesParagraph = 32,
};

unsigned kindOf(const QByteArray &name)
{
    static const QHash<QByteArray, unsigned> kinds = [] {
        QHash<QByteArray, unsigned> k;
        const auto add = [&k](std::initializer_list<const char *> names, unsigned kind) {
            for (const char *n : names)
                k[QByteArray(n)] |= kind;
        };
        add({"a", "b", "big", "code", "em", "font", "i", "nobr", "s", "small", "strike", "strong", "tt", "u"},
            Formatting);
        add({"area", "base", "basefont", "bgsound", "br", "col", "embed", "frame", "hr", "image", "img", "input",
             "keygen", "link", "meta", "param", "source", "track", "wbr", "html", "head", "body"},
            Void);
        add({"script", "style", "textarea", "title", "xmp", "iframe", "noembed", "noframes"}, RawText);
        add({"applet", "caption", "html", "table", "td", "th", "marquee", "object", "template"},
            ScopeBoundary | Special);
        add({"address", "article", "aside", "blockquote", "button", "center", "colgroup", "dd", "details", "dir",
             "div", "dl", "dt", "fieldset", "figcaption", "figure", "footer", "form", "frameset", "h1", "h2", "h3",
             "h4", "h5", "h6", "header", "hgroup", "li", "listing", "main", "menu", "nav", "ol", "p", "pre",
             "section", "select", "summary", "tbody", "tfoot", "thead", "tr", "ul"},
            Special);
        add({"address", "article", "aside", "blockquote", "center", "details", "dialog", "dir", "div", "dl",
             "fieldset", "figcaption", "figure", "footer", "form", "h1", "h2", "h3", "h4", "h5", "h6", "header",
             "hgroup", "hr", "li", "main", "menu", "nav", "ol", "p", "pre", "section", "summary", "table", "ul",
             "dd", "dt"},
            ClosesParagraph);
        return k;
    }();
    return kinds.value(name);
}

bool isFormatting(const QByteArray &name) { return kindOf(name) & Formatting; }
bool isVoid(const QByteArray &name) { return kindOf(name) & Void; }
bool isRawText(const QByteArray &name) { return kindOf(name) & RawText; }
bool isScopeBoundary(const QByteArray &name) { return kindOf(name) & ScopeBoundary; }
bool isSpecial(const QByteArray &name) { return kindOf(name) & Special; }
bool closesParagraph(const QByteArray &name) { return kindOf(name) & ClosesParagraph; }

// The formatting elements the parser could re-create after every closing
// tag, counted so that no page can slip under the bound: every "<b" in the
// page counts, in comments and scripts too, each distinct tag up to three
// times (the parser keeps no more identical ones) and "a" once (a new one
// replaces the old), each weighted by its length, which is what a copy costs.
qint64 reopenWork(const QByteArray &body, qint64 budget)
{
    const qsizetype size = body.size();
    const char *data = body.constData();
    const qint64 tags = std::max<qint64>(1, std::count(body.cbegin(), body.cend(), '<'));
    std::vector<qsizetype> nextClose(std::size_t(size) + 1, size);
    for (qsizetype i = size - 1; i >= 0; --i)
        nextClose[std::size_t(i)] = data[i] == '>' ? i : nextClose[std::size_t(i) + 1];

    QHash<QByteArrayView, int> seen;
    qint64 weight = 0;
    qint64 anchorWeight = 0;
    for (qsizetype i = 0; i + 1 < size; ++i) {
        if (data[i] != '<' || !isAsciiLetter(data[i + 1]))
            continue;
        qsizetype end = i + 1;
        while (end < size && end - i <= 7 && !isSpace(data[end]) && data[end] != '/' && data[end] != '>')
            ++end;
        QByteArray name(end - i - 1, Qt::Uninitialized);
        for (qsizetype k = i + 1; k < end; ++k)
            name[k - i - 1] = lower(data[k]);
        if (!isFormatting(name))
            continue;
        const qsizetype tagEnd = std::min(size, nextClose[std::size_t(i)] + 1);
        const qint64 tagWeight = 1 + (tagEnd - i) / 4;
        if (name == "a") {
            anchorWeight = std::max(anchorWeight, tagWeight);
        } else {
            int &count = seen[QByteArrayView(data + i, tagEnd - i)];
            if (count < 3) {
                ++count;
                weight += tagWeight;
            }
        }
        if ((weight + anchorWeight) * tags > budget)
            break; // refused already; the rest cannot lower it
    }
    return (weight + anchorWeight) * tags;
}

// The next "</name" in any case, or -1.
qsizetype findEndTag(const QByteArray &body, const QByteArray &name, qsizetype from)
{
    for (qsizetype at = body.indexOf("</", from); at >= 0; at = body.indexOf("</", at + 2)) {
        const QByteArrayView candidate = QByteArrayView(body).sliced(at + 2, std::min<qsizetype>(name.size(), body.size() - at - 2));
        if (candidate.size() == name.size() && candidate.compare(name, Qt::CaseInsensitive) == 0)
            return at;
    }
    return -1;
}

struct Scan
{
    int depth = 0;       // deepest nesting met, up to one past the limit
    int attributes = 0;  // most attributes on one element, likewise
};

// Follows the page's tags the way the parser mostly does, keeping its own
// stack of open elements: comments and script or style text are skipped,
// void elements never open, and an end tag closes up to its element as long
// as nothing the parser would stop at lies between. It stops at the first
// limit passed.
Scan scanStructure(const QByteArray &body, const PageScreenLimits &limits)
{
    const qsizetype size = body.size();
    const char *data = body.constData();
    std::vector<QByteArray> open;
    Scan scan;
    auto findFrom = [&body](const char *what, qsizetype from) { return body.indexOf(what, from); };

    qsizetype i = 0;
    while (i < size) {
        if (data[i] != '<' || i + 1 >= size) {
            ++i;
            continue;
        }
        const char next = data[i + 1];
        if (next == '!' || next == '?') {
            const bool comment = body.mid(i, 4) == "<!--";
            const qsizetype end = comment ? findFrom("-->", i + 2) : findFrom(">", i + 2);
            if (end < 0)
                break;
            i = end + (comment ? 3 : 1);
            continue;
        }
        const bool endTag = next == '/';
        qsizetype pos = i + (endTag ? 2 : 1);
        if (pos >= size || !isAsciiLetter(data[pos])) {
            ++i;
            continue;
        }
        const qsizetype nameStart = pos;
        while (pos < size && !isSpace(data[pos]) && data[pos] != '/' && data[pos] != '>')
            ++pos;
        QByteArray name(pos - nameStart, Qt::Uninitialized);
        for (qsizetype k = nameStart; k < pos; ++k)
            name[k - nameStart] = lower(data[k]);

        // Attributes, as the tokenizer splits them.
        int attributes = 0;
        bool selfClosing = false;
        while (pos < size && data[pos] != '>') {
            const char c = data[pos];
            if (isSpace(c)) {
                ++pos;
                continue;
            }
            if (c == '/') {
                selfClosing = pos + 1 < size && data[pos + 1] == '>';
                ++pos;
                continue;
            }
            ++attributes;
            ++pos;
            while (pos < size && !isSpace(data[pos]) && data[pos] != '/' && data[pos] != '>' && data[pos] != '=')
                ++pos;
            while (pos < size && isSpace(data[pos]))
                ++pos;
            if (pos < size && data[pos] == '=') {
                ++pos;
                while (pos < size && isSpace(data[pos]))
                    ++pos;
                if (pos < size && (data[pos] == '"' || data[pos] == '\'')) {
                    const qsizetype close = body.indexOf(data[pos], pos + 1);
                    pos = close < 0 ? size : close + 1;
                } else {
                    while (pos < size && !isSpace(data[pos]) && data[pos] != '>')
                        ++pos;
                }
            }
        }
        i = pos + 1;
        if (!endTag) {
            scan.attributes = std::max(scan.attributes, attributes);
            if (attributes > limits.maxAttributes)
                return scan;
        }

        if (endTag) {
            const bool special = isSpecial(name);
            for (auto it = open.rbegin(); it != open.rend(); ++it) {
                if (*it == name) {
                    open.erase(std::next(it).base(), open.end());
                    break;
                }
                if (special ? isScopeBoundary(*it) : isSpecial(*it))
                    break;
            }
            continue;
        }
        if (name == "plaintext")
            break; // the rest of the page is text
        if (isVoid(name))
            continue;
        // Start tags that close an open element of their own kind (and what
        // is open inside it), as far as the parser looks for one.
        auto closeTo = [&open](std::initializer_list<const char *> names, auto stopsAt) {
            for (auto it = open.rbegin(); it != open.rend(); ++it) {
                if (isOneOf(*it, names)) {
                    open.erase(std::next(it).base(), open.end());
                    return;
                }
                if (stopsAt(*it))
                    return;
            }
        };
        const auto scopeOrButton = [](const QByteArray &n) { return isScopeBoundary(n) || n == "button"; };
        const auto specialButBlocks = [](const QByteArray &n) {
            return isSpecial(n) && n != "address" && n != "div" && n != "p";
        };
        const auto table = [](const QByteArray &n) { return n == "table" || n == "template" || n == "html"; };
        if (closesParagraph(name))
            closeTo({"p"}, scopeOrButton);
        if (name == "li")
            closeTo({"li"}, specialButBlocks);
        else if (name == "dt" || name == "dd")
            closeTo({"dt", "dd"}, specialButBlocks);
        else if (name == "option" || name == "optgroup")
            closeTo({"option"}, [](const QByteArray &n) { return n != "option"; });
        else if (name == "td" || name == "th")
            closeTo({"td", "th"}, [&table](const QByteArray &n) { return table(n) || n == "tr"; });
        else if (name == "tr")
            closeTo({"tr"}, table);
        Q_UNUSED(selfClosing); // a slash does not close an HTML element
        open.push_back(name);
        scan.depth = std::max(scan.depth, int(open.size()));
        if (scan.depth > limits.maxDepth)
            return scan;
        if (isRawText(name)) {
            const qsizetype end = findEndTag(body, name, i);
            if (end < 0)
                break;
            i = end;
        }
    }
    return scan;
}

} // namespace

std::optional<QString> PageScreen::refusal(const QByteArray &body, const Limits &limits)
{
    // The parser reads a page with a UTF-16 byte-order mark as UTF-16; its
    // tags are only seen in the decoded text.
    if (body.startsWith("\xFF\xFE") || body.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(body.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        const QString decoded = decoder.decode(QByteArrayView(body).sliced(2));
        return refusal(decoded.toUtf8(), limits);
    }
    const Scan scan = scanStructure(body, limits);
    if (scan.depth > limits.maxDepth)
        return QStringLiteral("it nests its elements more than %1 deep, the limit").arg(limits.maxDepth);
    if (scan.attributes > limits.maxAttributes)
        return QStringLiteral("one of its elements has more than %1 attributes, the limit").arg(limits.maxAttributes);
    const qint64 work = reopenWork(body, limits.maxReopenWork);
    if (work > limits.maxReopenWork)
        return QStringLiteral("its formatting elements (b, i, font ...) could be opened again %1 times, "
                              "more than the limit of %2")
            .arg(work)
            .arg(limits.maxReopenWork);
    return std::nullopt;
}

} // namespace kestrin
