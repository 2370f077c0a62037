#include "windowframe.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <optional>
#include <thread>

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

xcb_atom_t atomNamed(xcb_connection_t *c, const char *name)
{
    const Reply atom(xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, uint16_t(std::strlen(name)), name), nullptr));
    return atom ? atom->atom : xcb_atom_t(XCB_ATOM_NONE);
}

std::optional<QMargins> readExtents(xcb_connection_t *c, xcb_window_t window, xcb_atom_t extentsAtom)
{
    const Reply extents(xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, extentsAtom, XCB_ATOM_CARDINAL, 0, 4), nullptr));
    if (!extents || extents->format != 32 || xcb_get_property_value_length(extents.p) != 16)
        return std::nullopt;
    const auto *e = static_cast<const quint32 *>(xcb_get_property_value(extents.p));
    return QMargins(int(e[0]), int(e[2]), int(e[1]), int(e[3]));
}

bool wmSupports(xcb_connection_t *c, xcb_window_t root, xcb_atom_t atom)
{
    const xcb_atom_t supported = atomNamed(c, "_NET_SUPPORTED");
    if (supported == XCB_ATOM_NONE || atom == XCB_ATOM_NONE)
        return false;
    const Reply list(xcb_get_property_reply(
        c, xcb_get_property(c, 0, root, supported, XCB_ATOM_ATOM, 0, 4096), nullptr));
    if (!list || list->format != 32)
        return false;
    const auto *atoms = static_cast<const xcb_atom_t *>(xcb_get_property_value(list.p));
    const int count = xcb_get_property_value_length(list.p) / 4;
    return std::find(atoms, atoms + count, atom) != atoms + count;
}

// The extents the window manager has, or will give, the window's frame: a
// window not yet mapped asks for them (_NET_REQUEST_FRAME_EXTENTS), and the
// answer comes as the property within a few milliseconds.
std::optional<QMargins> serverExtents(xcb_connection_t *c, xcb_window_t client)
{
    const xcb_atom_t extentsAtom = atomNamed(c, "_NET_FRAME_EXTENTS");
    if (extentsAtom == XCB_ATOM_NONE)
        return std::nullopt;
    if (const auto known = readExtents(c, client, extentsAtom))
        return known;
    const Reply geometry(xcb_get_geometry_reply(c, xcb_get_geometry(c, client), nullptr));
    const xcb_atom_t request = atomNamed(c, "_NET_REQUEST_FRAME_EXTENTS");
    if (!geometry || !wmSupports(c, geometry->root, request))
        return std::nullopt;
    xcb_client_message_event_t message = {};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = client;
    message.type = request;
    xcb_send_event(c, 0, geometry->root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char *>(&message));
    xcb_flush(c);
    using namespace std::chrono_literals;
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (const auto extents = readExtents(c, client, extentsAtom))
            return extents;
        std::this_thread::sleep_for(5ms);
    }
    return std::nullopt;
}

// The outer frame in the X server's pixels: the client window's place on
// the root window widened by the extents the window manager publishes for
// its current frame; without them, the ancestor that sits directly on the
// root window (an unframed window is its own frame).
std::optional<QRect> serverFrame(xcb_connection_t *c, xcb_window_t client)
{
    const xcb_atom_t extentsAtom = atomNamed(c, "_NET_FRAME_EXTENTS");
    const Reply geometry(xcb_get_geometry_reply(c, xcb_get_geometry(c, client), nullptr));
    if (!geometry)
        return std::nullopt;
    const xcb_window_t root = geometry->root;

    // One consistent picture: the window manager cannot move anything
    // between the requests below.
    xcb_grab_server(c);
    const auto originCookie = xcb_translate_coordinates(c, client, root, 0, 0);
    const auto sizeCookie = xcb_get_geometry(c, client);
    std::optional<xcb_get_property_cookie_t> extentsCookie;
    if (extentsAtom != XCB_ATOM_NONE)
        extentsCookie = xcb_get_property(c, 0, client, extentsAtom, XCB_ATOM_CARDINAL, 0, 4);
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

xcb_connection_t *x11Connection(const QWidget &window)
{
    const QWindow *handle = window.windowHandle();
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 && handle && handle->handle() ? x11->connection() : nullptr;
}

#endif

} // namespace

QRect PlatformWindowFrame::outerFrame(const QWidget &window)
{
#ifdef KESTRIN_X11_FRAME
    if (xcb_connection_t *c = x11Connection(window)) {
        const QWindow *handle = window.windowHandle();
        if (const std::optional<QRect> frame = serverFrame(c, xcb_window_t(handle->winId()))) {
            const qreal ratio = handle->devicePixelRatio();
            const auto logical = [ratio](int pixels) { return int(std::lround(pixels / ratio)); };
            return QRect(logical(frame->x()), logical(frame->y()), logical(frame->width()), logical(frame->height()));
        }
    }
#endif
    return window.frameGeometry();
}


std::optional<QMargins> PlatformWindowFrame::frameExtents(QWidget &window)
{
#ifdef KESTRIN_X11_FRAME
    window.winId(); // the window manager answers for a window that exists
    if (xcb_connection_t *c = x11Connection(window)) {
        const std::optional<QMargins> extents = serverExtents(c, xcb_window_t(window.windowHandle()->winId()));
        if (!extents)
            return std::nullopt;
        const qreal ratio = window.windowHandle()->devicePixelRatio();
        const auto logical = [ratio](int pixels) { return int(std::lround(pixels / ratio)); };
        return QMargins(logical(extents->left()), logical(extents->top()), logical(extents->right()),
                        logical(extents->bottom()));
    }
#endif
    if (!window.isVisible())
        return std::nullopt;
    const QRect frame = window.frameGeometry();
    const QRect client = window.geometry();
    return QMargins(client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                    frame.bottom() - client.bottom());
}

} // namespace kestrin
