#include "pagetext.h"

#include "elementvalue.h"
#include "gumbotree.h"

#include <QStringList>

#include <vector>

namespace kestrin::pagetext {

using namespace gumbotree;
using elementvalue::isField;
using elementvalue::valueOf;

namespace {

bool isBlock(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_ADDRESS: case GUMBO_TAG_ARTICLE: case GUMBO_TAG_ASIDE: case GUMBO_TAG_BLOCKQUOTE:
    case GUMBO_TAG_BR: case GUMBO_TAG_CAPTION: case GUMBO_TAG_CENTER: case GUMBO_TAG_DD:
    case GUMBO_TAG_DIV: case GUMBO_TAG_DL: case GUMBO_TAG_DT: case GUMBO_TAG_FIELDSET:
    case GUMBO_TAG_FIGURE: case GUMBO_TAG_FOOTER: case GUMBO_TAG_FORM: case GUMBO_TAG_H1:
    case GUMBO_TAG_H2: case GUMBO_TAG_H3: case GUMBO_TAG_H4: case GUMBO_TAG_H5:
    case GUMBO_TAG_H6: case GUMBO_TAG_HEADER: case GUMBO_TAG_HR: case GUMBO_TAG_LI:
    case GUMBO_TAG_MAIN: case GUMBO_TAG_NAV: case GUMBO_TAG_OL: case GUMBO_TAG_P:
    case GUMBO_TAG_PRE: case GUMBO_TAG_SECTION: case GUMBO_TAG_TABLE: case GUMBO_TAG_TR:
    case GUMBO_TAG_UL: case GUMBO_TAG_BODY:
        return true;
    default:
        return false;
    }
}

bool isHidden(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_HEAD: case GUMBO_TAG_SCRIPT: case GUMBO_TAG_STYLE: case GUMBO_TAG_TITLE:
    case GUMBO_TAG_TEMPLATE: case GUMBO_TAG_OPTION: case GUMBO_TAG_OPTGROUP: case GUMBO_TAG_TEXTAREA:
    case GUMBO_TAG_META: case GUMBO_TAG_LINK: case GUMBO_TAG_IFRAME: case GUMBO_TAG_OBJECT:
    case GUMBO_TAG_EMBED: case GUMBO_TAG_NOEMBED: case GUMBO_TAG_NOFRAMES:
        return true;
    default:
        return false;
    }
}

// Builds the plain-text rendering line by line, collapsing white space.
class TextRenderer final
{
public:
    void render(const GumboNode *root)
    {
        enter(root);
        while (!m_open.empty()) {
            OpenNode &top = m_open.back();
            if (top.next < top.children->length) {
                const GumboNode *child = childAt(top.children, top.next++);
                enter(child);
                continue;
            }
            const OpenNode done = top;
            m_open.pop_back();
            if (done.block)
                endLine();
            if (done.cell)
                m_pendingSpace = !m_line.isEmpty();
        }
    }

    QString result()
    {
        endLine();
        return m_lines.join(u'\n');
    }

private:
    // A node whose children are being rendered, with what to do after them.
    struct OpenNode
    {
        const GumboVector *children;
        unsigned int next;
        bool block;
        bool cell;
    };

    // Renders a leaf at once, or opens a node whose children follow.
    void enter(const GumboNode *node)
    {
        switch (node->type) {
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_WHITESPACE:
        case GUMBO_NODE_CDATA:
            addText(QString::fromUtf8(node->v.text.text));
            return;
        case GUMBO_NODE_DOCUMENT:
            break;
        case GUMBO_NODE_ELEMENT:
            if (isField(node)) {
                addText(u'[' + valueOf(node).value_or(QString()) + u']');
                return;
            }
            if (isHidden(tagOf(node)))
                return;
            break;
        default:
            return;
        }
        const bool block = node->type == GUMBO_NODE_ELEMENT && isBlock(tagOf(node));
        const bool cell = node->type == GUMBO_NODE_ELEMENT
            && (tagOf(node) == GUMBO_TAG_TD || tagOf(node) == GUMBO_TAG_TH);
        if (block)
            endLine();
        if (cell)
            m_pendingSpace = !m_line.isEmpty();
        const GumboVector *children = childrenOf(node);
        if (children) {
            m_open.push_back({children, 0, block, cell});
            return;
        }
        if (block)
            endLine();
        if (cell)
            m_pendingSpace = !m_line.isEmpty();
    }

    void addText(const QString &text)
    {
        for (const QChar c : text) {
            if (c.isSpace()) {
                m_pendingSpace = !m_line.isEmpty();
                continue;
            }
            if (m_pendingSpace)
                m_line += u' ';
            m_pendingSpace = false;
            m_line += c;
        }
    }

    void endLine()
    {
        if (!m_line.isEmpty())
            m_lines.append(m_line);
        m_line.clear();
        m_pendingSpace = false;
    }

    std::vector<OpenNode> m_open;
    QStringList m_lines;
    QString m_line;
    bool m_pendingSpace = false;
};

} // namespace

QString render(const GumboNode *root)
{
    TextRenderer renderer;
    renderer.render(root);
    return renderer.result();
}

} // namespace kestrin::pagetext
