#include "pagecharset.h"

#include "gumbotree.h"

#include <QStringDecoder>

namespace kestrin::pagecharset {

using namespace gumbotree;

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

} // namespace kestrin::pagecharset
