#include "X11DesktopWindowing.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QWindow>

#include <xcb/shape.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

struct FreeDeleter
{
    void operator()(void *p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

xcb_connection_t *connection()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

/// The region in the window's native pixels, every covered pixel included.
QList<xcb_rectangle_t> nativeRectangles(QWindow *window, const QRegion &region)
{
    const qreal ratio = window->devicePixelRatio();
    QList<xcb_rectangle_t> rectangles;
    rectangles.reserve(region.rectCount());
    for (const QRect &r : region) {
        const int left = int(std::floor(r.x() * ratio));
        const int top = int(std::floor(r.y() * ratio));
        const int right = int(std::ceil((r.x() + r.width()) * ratio));
        const int bottom = int(std::ceil((r.y() + r.height()) * ratio));
        rectangles.append(
            {int16_t(left), int16_t(top), uint16_t(right - left), uint16_t(bottom - top)});
    }
    return rectangles;
}

} // namespace

X11DesktopWindowing::X11DesktopWindowing() : m_connection(connection())
{
    if (QCoreApplication *app = QCoreApplication::instance())
        app->installNativeEventFilter(this);
}

X11DesktopWindowing::~X11DesktopWindowing()
{
    if (QCoreApplication *app = QCoreApplication::instance())
        app->removeNativeEventFilter(this);
}

void X11DesktopWindowing::keepOnAllDesktops(QWindow *window)
{
    xcb_connection_t *c = m_connection;
    if (!c || !window)
        return;
    const xcb_window_t id = xcb_window_t(window->winId());

    const uint32_t allDesktops = 0xFFFFFFFF;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, atom(c, "_NET_WM_DESKTOP"), XCB_ATOM_CARDINAL,
                        32, 1, &allDesktops);

    // Appended, not replaced: Qt merges its own states (such as "above") into this list.
    std::vector<xcb_atom_t> states = {atom(c, "_NET_WM_STATE_SKIP_TASKBAR"),
                                      atom(c, "_NET_WM_STATE_SKIP_PAGER"),
                                      atom(c, "_NET_WM_STATE_STICKY")};
    xcb_change_property(c, XCB_PROP_MODE_APPEND, id, atom(c, "_NET_WM_STATE"), XCB_ATOM_ATOM, 32,
                        uint32_t(states.size()), states.data());
    xcb_flush(c);
}

void X11DesktopWindowing::setInputRegion(QWindow *window, const QRegion &region)
{
    if (!m_connection || !window)
        return;
    const xcb_window_t id = xcb_window_t(window->winId());
    Shapes &shapes = m_shapes[id];
    shapes.input = nativeRectangles(window, region);
    apply(id, Shapes{shapes.input, std::nullopt});
}

void X11DesktopWindowing::setVisibleRegion(QWindow *window, const std::optional<QRegion> &region)
{
    if (!m_connection || !window)
        return;
    const xcb_window_t id = xcb_window_t(window->winId());
    Shapes &shapes = m_shapes[id];
    shapes.visible = region ? std::optional(nativeRectangles(window, *region)) : std::nullopt;
    if (shapes.visible) {
        apply(id, Shapes{std::nullopt, shapes.visible});
    } else {
        xcb_shape_mask(m_connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, id, 0, 0,
                       XCB_PIXMAP_NONE);
        xcb_flush(m_connection);
    }
}

void X11DesktopWindowing::apply(xcb_window_t window, const Shapes &shapes) const
{
    const auto set = [&](xcb_shape_kind_t kind, const QList<xcb_rectangle_t> &rectangles) {
        xcb_shape_rectangles(m_connection, XCB_SHAPE_SO_SET, kind, XCB_CLIP_ORDERING_UNSORTED,
                             window, 0, 0, uint32_t(rectangles.size()), rectangles.constData());
    };
    if (shapes.input)
        set(XCB_SHAPE_SK_INPUT, *shapes.input);
    if (shapes.visible)
        set(XCB_SHAPE_SK_BOUNDING, *shapes.visible);
    xcb_flush(m_connection);
}

bool X11DesktopWindowing::hasCompositor(QWindow *window) const
{
    xcb_connection_t *c = m_connection;
    if (!c || !window)
        return false;
    // The manager of screen n owns the selection _NET_WM_CM_Sn.
    Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, xcb_window_t(window->winId())), nullptr));
    if (!geometry)
        return false;
    int screen = 0;
    for (auto it = xcb_setup_roots_iterator(xcb_get_setup(c)); it.rem;
         xcb_screen_next(&it), ++screen) {
        if (it.data->root == geometry->root)
            break;
    }
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(screen);
    const xcb_atom_t selection = atom(c, name.constData());
    if (selection == XCB_ATOM_NONE)
        return false;
    Reply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr));
    return owner && owner->owner != XCB_NONE;
}

bool X11DesktopWindowing::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (m_shapes.isEmpty() || eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    xcb_window_t window = XCB_NONE;
    switch (event->response_type & ~0x80) {
    case XCB_MAP_NOTIFY:
        window = reinterpret_cast<const xcb_map_notify_event_t *>(event)->window;
        break;
    case XCB_REPARENT_NOTIFY:
        window = reinterpret_cast<const xcb_reparent_notify_event_t *>(event)->window;
        break;
    case XCB_DESTROY_NOTIFY:
        m_shapes.remove(reinterpret_cast<const xcb_destroy_notify_event_t *>(event)->window);
        return false;
    default:
        return false;
    }
    const auto found = m_shapes.constFind(window);
    if (found != m_shapes.constEnd())
        apply(window, *found);
    return false;
}
