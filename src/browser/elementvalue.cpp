#include "elementvalue.h"

#include "gumbotree.h"

#include <QList>
#include <QStringList>

#include <utility>

namespace kestrin::elementvalue {

using namespace gumbotree;

namespace {

QString optionValue(const GumboNode *option)
{
    if (auto value = attributeOf(option, "value"))
        return *value;
    return stripAndCollapse(textContentOf(option, true));
}

QString selectValue(const GumboNode *select)
{
    struct Option
    {
        const GumboNode *node;
        bool disabled;
    };
    QList<Option> options;
    const GumboVector *children = childrenOf(select);
    for (unsigned int i = 0; children && i < children->length; ++i) {
        const GumboNode *child = childAt(children, i);
        if (child->type != GUMBO_NODE_ELEMENT)
            continue;
        if (tagOf(child) == GUMBO_TAG_OPTION) {
            options.append({child, hasAttribute(child, "disabled")});
        } else if (tagOf(child) == GUMBO_TAG_OPTGROUP) {
            const bool groupDisabled = hasAttribute(child, "disabled");
            const GumboVector *grouped = childrenOf(child);
            for (unsigned int j = 0; grouped && j < grouped->length; ++j) {
                const GumboNode *option = childAt(grouped, j);
                if (option->type == GUMBO_NODE_ELEMENT && tagOf(option) == GUMBO_TAG_OPTION)
                    options.append({option, groupDisabled || hasAttribute(option, "disabled")});
            }
        }
    }

    // A single-choice list keeps the last option marked selected; a multiple
    // one reports its first. With none marked, a drop-down shows the first
    // option that can be chosen.
    const bool multiple = hasAttribute(select, "multiple");
    const GumboNode *chosen = nullptr;
    for (const Option &option : std::as_const(options)) {
        if (hasAttribute(option.node, "selected")) {
            chosen = option.node;
            if (multiple)
                break;
        }
    }
    if (!chosen && !multiple) {
        for (const Option &option : std::as_const(options)) {
            if (!option.disabled) {
                chosen = option.node;
                break;
            }
        }
    }
    return chosen ? optionValue(chosen) : QString();
}

QString inputValue(const GumboNode *input)
{
    const QString type = attributeOf(input, "type").value_or(QString()).trimmed().toLower();
    const std::optional<QString> value = attributeOf(input, "value");
    if (!value)
        return (type == u"checkbox" || type == u"radio") ? QStringLiteral("on") : QString();

    static const QStringList singleLineTypes = {
        QString(), QStringLiteral("text"), QStringLiteral("search"), QStringLiteral("tel"),
        QStringLiteral("password"), QStringLiteral("url"), QStringLiteral("email"),
    };
    if (!singleLineTypes.contains(type))
        return *value;
    QString cleaned = *value;
    cleaned.remove(u'\n');
    cleaned.remove(u'\r');
    if (type == u"url" || type == u"email")
        cleaned = cleaned.trimmed();
    return cleaned;
}

// The rules for parsing integers that li.value uses; 0 when there is none.
QString listItemValue(const GumboNode *item)
{
    const QString raw = attributeOf(item, "value").value_or(QString()).trimmed();
    qsizetype end = 0;
    if (end < raw.size() && (raw.at(end) == u'-' || raw.at(end) == u'+'))
        ++end;
    const qsizetype digitsStart = end;
    while (end < raw.size() && raw.at(end) >= u'0' && raw.at(end) <= u'9')
        ++end;
    if (end == digitsStart)
        return QStringLiteral("0");
    bool ok = false;
    const int number = raw.left(end).toInt(&ok);
    return QString::number(ok ? number : 0);
}

} // namespace

bool isField(const GumboNode *node)
{
    if (node->type != GUMBO_NODE_ELEMENT)
        return false;
    switch (tagOf(node)) {
    case GUMBO_TAG_INPUT:
        return attributeOf(node, "type").value_or(QString()).trimmed().compare(u"hidden", Qt::CaseInsensitive) != 0;
    case GUMBO_TAG_TEXTAREA:
    case GUMBO_TAG_SELECT:
        return true;
    default:
        return false;
    }
}

std::optional<QString> valueOf(const GumboNode *node)
{
    if (node->type != GUMBO_NODE_ELEMENT)
        return std::nullopt;
    switch (tagOf(node)) {
    case GUMBO_TAG_INPUT:
        return inputValue(node);
    case GUMBO_TAG_TEXTAREA:
    case GUMBO_TAG_OUTPUT:
        return textContentOf(node);
    case GUMBO_TAG_SELECT:
        return selectValue(node);
    case GUMBO_TAG_OPTION:
        return optionValue(node);
    case GUMBO_TAG_BUTTON:
    case GUMBO_TAG_DATA:
    case GUMBO_TAG_PARAM:
        return attributeOf(node, "value").value_or(QString());
    case GUMBO_TAG_LI:
        return listItemValue(node);
    default:
        return std::nullopt;
    }
}

} // namespace kestrin::elementvalue
