// Feeds arbitrary bytes to the page parser the browser view uses, then does
// with the document what the program does with a gateway page: looks up the
// temperature element, reads its value as a number and renders the page as
// the view shows it.

#include "htmldocument.h"
#include "pagescreen.h"
#include "readingtext.h"

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <utility>

using kestrin::HtmlDocument;
using kestrin::HtmlElement;

namespace {

// The input's length picks the Content-Type header, so every seed stays a
// plain page and the fuzzer still reaches each way the charset is chosen.
QByteArray contentTypeFor(std::size_t size)
{
    static const char *const types[] = {
        "",
        "text/html",
        "text/html; charset=iso-8859-1",
        "text/html; charset=UTF-8",
        "text/html;charset=\"windows-1252\"",
        "text/plain; charset=",
        "application/octet-stream; charset=koi8-r",
    };
    return QByteArray(types[size % (sizeof types / sizeof types[0])]);
}

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void exercise(const HtmlElement &element, const QString &key)
{
    // The lookup must have matched on id, or else on name.
    const std::optional<QString> id = element.attribute(QStringLiteral("id"));
    const std::optional<QString> name = element.attribute(QStringLiteral("name"));
    check((id && *id == key) || (name && *name == key));
    check(!element.tagName().isEmpty());
    (void)element.textContent();
    if (const std::optional<QString> value = element.Value()) {
        (void)kestrin::readingFromText(*value, QLocale::c());
        (void)kestrin::readingFromText(*value, QLocale(QLocale::German, QLocale::Germany));
    }
}

QString rendered(const HtmlDocument &doc)
{
    QStringList parts;
    const QString title = doc.title();
    if (!title.isEmpty())
        parts << title << QString();
    const QString text = doc.text();
    if (!text.isEmpty())
        parts << text;
    const QList<HtmlDocument::Field> fields = doc.fields();
    if (!fields.isEmpty()) {
        parts << QString();
        for (const HtmlDocument::Field &field : fields)
            parts << field.label + QStringLiteral(": ") + field.value;
    }
    return parts.join(u'\n');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray body(reinterpret_cast<const char *>(data), qsizetype(size));
    // The browser screens every page before parsing it; the parse below runs
    // whatever the screen says, so both see every input.
    (void)kestrin::PageScreen::refusal(body);
    HtmlDocument parsed = HtmlDocument::parse(body, contentTypeFor(size));
    // The view keeps the document behind a move; elements must survive it.
    HtmlDocument doc = std::move(parsed);

    const QByteArray charset = doc.sourceCharset();
    check(charset == "UTF-8" || charset == "ISO-8859-1");

    for (const QString &key : {QStringLiteral("Temperature_0"), QStringLiteral("ROMId_0")}) {
        if (const std::optional<HtmlElement> element = doc.getElementById(key))
            exercise(*element, key);
    }
    check(!doc.getElementById(QString()).has_value());
    (void)rendered(doc);
    return 0;
}
