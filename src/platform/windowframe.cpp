#include "windowframe.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include <cmath>
#include <cstdlib>
#include <optional>

#if defined(KESTRIN_HAVE_XCB) && QT_CONFIG(xcb)
#define KESTRIN_X11_FRAME
#include <xcb/xcb.h>
#endif

namespace kestrin {

namespace {

#ifdef KESTRIN_X11_FRAME

// An xcb reply that frees itself.
template<typename T>
struct Reply
{
    T *p = nullptr;
    explicit Reply(T *reply) : p(reply) {}
    ~Reply() { std::free(p); }
    Q_DISABLE_COPY_MOVE(Reply)
    T *operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

// The outer frame in the X server's pixels: the client window's place on
// the root window widened by the extents the window manager publishes for
// its current frame; without them, the ancestor that sits directly on the
// root window (an unframed window is its own frame).
std::optional<QRect> serverFrame(xcb_connection_t *c, xcb_window_t client)
{
    const auto atomCookie = xcb_intern_atom(c, 1, 18, "_NET_FRAME_EXTENTS");
    const Reply geometry(xcb_get_geometry_reply(c, xcb_get_geometry(c, client), nullptr));
    const Reply atom(xcb_intern_atom_reply(c, atomCookie, nullptr));
    if (!geometry)
        return std::nullopt;
    const xcb_window_t root = geometry->root;

    // One consistent picture: the window manager cannot move anything
    // between the requests below.
    xcb_grab_server(c);
    const auto originCookie = xcb_translate_coordinates(c, client, root, 0, 0);
    const auto sizeCookie = xcb_get_geometry(c, client);
    std::optional<xcb_get_property_cookie_t> extentsCookie;
    if (atom && atom->atom != XCB_ATOM_NONE)
        extentsCookie = xcb_get_property(c, 0, client, atom->atom, XCB_ATOM_CARDINAL, 0, 4);
    const Reply origin(xcb_translate_coordinates_reply(c, originCookie, nullptr));
    const Reply size(xcb_get_geometry_reply(c, sizeCookie, nullptr));
    std::optional<QRect> frame;
    if (origin && size) {
        const QRect inner(origin->dst_x, origin->dst_y, size->width, size->height);
        if (extentsCookie) {
            const Reply extents(xcb_get_property_reply(c, *extentsCookie, nullptr));
            if (extents && extents->format == 32 && xcb_get_property_value_length(extents.p) == 16) {
                const auto *e = static_cast<const quint32 *>(xcb_get_property_value(extents.p));
                frame = inner.adjusted(-int(e[0]), -int(e[2]), int(e[1]), int(e[3]));
            }
        }
        if (!frame) {
            xcb_window_t top = client;
            for (;;) {
                const Reply tree(xcb_query_tree_reply(c, xcb_query_tree(c, top), nullptr));
                if (!tree || tree->parent == XCB_WINDOW_NONE)
                    break;
                if (tree->parent == root) {
                    const Reply outer(xcb_get_geometry_reply(c, xcb_get_geometry(c, top), nullptr));
                    if (outer) {
                        const int border = outer->border_width;
                        frame = QRect(outer->x, outer->y, outer->width + 2 * border, outer->height + 2 * border);
                    }
                    break;
                }
                top = tree->parent;
            }
        }
    }
    xcb_ungrab_server(c);
    xcb_flush(c);
    return frame;
}

#endif

} // namespace

QRect PlatformWindowFrame::outerFrame(const QWidget &window)
{
#ifdef KESTRIN_X11_FRAME
    const QWindow *handle = window.windowHandle();
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 && handle && handle->handle()) {
        if (const std::optional<QRect> frame = serverFrame(x11->connection(), xcb_window_t(handle->winId()))) {
            const qreal ratio = handle->devicePixelRatio();
            const auto logical = [ratio](int pixels) { return int(std::lround(pixels / ratio)); };
            return QRect(logical(frame->x()), logical(frame->y()), logical(frame->width()), logical(frame->height()));
        }
    }
#endif
    return window.frameGeometry();
}

} // namespace kestrin
