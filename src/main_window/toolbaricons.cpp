#include "toolbaricons.h"

#include <QImage>

namespace {
#include "icons/new.xpm"
#include "icons/open.xpm"
#include "icons/save.xpm"
#include "icons/print.xpm"
#include "icons/cut.xpm"
#include "icons/copy.xpm"
#include "icons/paste.xpm"
#include "icons/bold.xpm"
#include "icons/italic.xpm"
#include "icons/underline.xpm"
#include "icons/alignleft.xpm"
#include "icons/center.xpm"
#include "icons/alignright.xpm"
#include "icons/appicon.xpm"

struct Entry
{
    const char *key;
    const char *const *xpm;
};

const Entry entries[] = {
    {"New", new_xpm},
    {"Open", open_xpm},
    {"Save", save_xpm},
    {"Print", print_xpm},
    {"Cut", cut_xpm},
    {"Copy", copy_xpm},
    {"Paste", paste_xpm},
    {"Bold", bold_xpm},
    {"Italic", italic_xpm},
    {"Underline", underline_xpm},
    {"Align Left", alignleft_xpm},
    {"Center", center_xpm},
    {"Align Right", alignright_xpm},
};

// Every silver pixel becomes fully transparent; everything else stays opaque.
QPixmap load(const char *const *xpm)
{
    QImage image = QImage(xpm).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (line[x] == kestrin::ToolbarIcons::transparentColour)
                line[x] = qRgba(0, 0, 0, 0);
        }
    }
    return QPixmap::fromImage(image);
}

} // namespace

namespace kestrin {

ToolbarIcons::ToolbarIcons(QObject *parent)
    : QObject(parent)
{
    setObjectName(QStringLiteral("imlToolbarIcons"));
    for (const Entry &entry : entries) {
        const QString key = QString::fromLatin1(entry.key);
        m_keys.append(key);
        m_pixmaps.insert(key, load(entry.xpm));
    }
}

QStringList ToolbarIcons::keys() const
{
    return m_keys;
}

QIcon ToolbarIcons::icon(const QString &key) const
{
    const QPixmap picture = pixmap(key);
    return picture.isNull() ? QIcon() : QIcon(picture);
}

QPixmap ToolbarIcons::pixmap(const QString &key) const
{
    return m_pixmaps.value(key);
}

QPixmap ToolbarIcons::applicationPixmap()
{
    return load(appicon_xpm);
}

QIcon ToolbarIcons::applicationIcon()
{
    return QIcon(applicationPixmap());
}

} // namespace kestrin
