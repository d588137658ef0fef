#include "X11ScreenCapture.h"

#include <xcb/randr.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <vector>

namespace {

struct FreeDeleter
{
    void operator()(void *p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

/// A shared-memory segment attached both here and on the server, reused while big enough.
struct ShmSegment
{
    xcb_shm_seg_t id = 0;
    int shmId = -1;
    uint8_t *data = nullptr;
    size_t size = 0;
};

} // namespace

struct X11ScreenCapture::Connection
{
    xcb_connection_t *xcb = nullptr;
    xcb_screen_t *screen = nullptr;
    bool hasShm = false;
    bool hasRandrMonitors = false;
    ShmSegment segment;

    ~Connection()
    {
        releaseSegment();
        if (xcb)
            xcb_disconnect(xcb);
    }

    void releaseSegment()
    {
        if (segment.data) {
            xcb_shm_detach(xcb, segment.id);
            xcb_flush(xcb);
            shmdt(segment.data);
        }
        segment = ShmSegment{};
    }

    bool ensureSegment(size_t size)
    {
        if (segment.data && segment.size >= size)
            return true;
        releaseSegment();
        const int shmId = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
        if (shmId < 0)
            return false;
        void *data = shmat(shmId, nullptr, 0);
        // Marked for removal now: the kernel frees it once both sides have detached.
        shmctl(shmId, IPC_RMID, nullptr);
        if (data == reinterpret_cast<void *>(-1))
            return false;
        const xcb_shm_seg_t id = xcb_generate_id(xcb);
        xcb_generic_error_t *error =
            xcb_request_check(xcb, xcb_shm_attach_checked(xcb, id, uint32_t(shmId), 0));
        if (error) {
            std::free(error);
            shmdt(data);
            return false;
        }
        segment = ShmSegment{id, shmId, static_cast<uint8_t *>(data), size};
        return true;
    }
};

X11ScreenCapture::X11ScreenCapture(QByteArray displayName) : m_displayName(std::move(displayName))
{}

X11ScreenCapture::~X11ScreenCapture() = default;

Result<X11ScreenCapture::Connection *> X11ScreenCapture::connection()
{
    if (m_connection)
        return m_connection.get();

    auto conn = std::make_unique<Connection>();
    int screenNumber = 0;
    conn->xcb =
        xcb_connect(m_displayName.isEmpty() ? nullptr : m_displayName.constData(), &screenNumber);
    if (xcb_connection_has_error(conn->xcb)) {
        return Result<Connection *>::failure(
            QStringLiteral("cannot connect to the X display \"%1\"")
                .arg(QString::fromLocal8Bit(m_displayName)));
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(conn->xcb));
    for (int i = 0; i < screenNumber && it.rem; ++i)
        xcb_screen_next(&it);
    if (!it.rem)
        return Result<Connection *>::failure(QStringLiteral("the X display has no screen"));
    conn->screen = it.data;

    const xcb_query_extension_reply_t *shm = xcb_get_extension_data(conn->xcb, &xcb_shm_id);
    if (shm && shm->present) {
        Reply<xcb_shm_query_version_reply_t> version(
            xcb_shm_query_version_reply(conn->xcb, xcb_shm_query_version(conn->xcb), nullptr));
        conn->hasShm = version != nullptr;
    }
    const xcb_query_extension_reply_t *randr = xcb_get_extension_data(conn->xcb, &xcb_randr_id);
    if (randr && randr->present) {
        Reply<xcb_randr_query_version_reply_t> version(xcb_randr_query_version_reply(
            conn->xcb, xcb_randr_query_version(conn->xcb, 1, 5), nullptr));
        conn->hasRandrMonitors =
            version && (version->major_version > 1 ||
                        (version->major_version == 1 && version->minor_version >= 5));
    }
    m_connection = std::move(conn);
    return m_connection.get();
}

Result<QList<CaptureDisplay>> X11ScreenCapture::displays()
{
    auto conn = connection();
    if (!conn.ok())
        return Result<QList<CaptureDisplay>>::failure(conn.error());
    Connection *c = conn.value();

    QList<CaptureDisplay> result;
    if (c->hasRandrMonitors) {
        Reply<xcb_randr_get_monitors_reply_t> reply(xcb_randr_get_monitors_reply(
            c->xcb, xcb_randr_get_monitors(c->xcb, c->screen->root, 1), nullptr));
        if (reply) {
            auto it = xcb_randr_get_monitors_monitors_iterator(reply.get());
            for (; it.rem; xcb_randr_monitor_info_next(&it)) {
                const xcb_randr_monitor_info_t *m = it.data;
                CaptureDisplay display{QStringLiteral("monitor-%1").arg(result.size()),
                                       QRect(m->x, m->y, m->width, m->height)};
                if (m->primary)
                    result.prepend(display);
                else
                    result.append(display);
            }
        }
    }
    if (result.isEmpty()) {
        result.append(
            CaptureDisplay{QStringLiteral("screen"),
                           QRect(0, 0, c->screen->width_in_pixels, c->screen->height_in_pixels)});
    }
    return result;
}

Result<QImage> X11ScreenCapture::capture(const CaptureDisplay &display, QSize pixelSize)
{
    auto conn = connection();
    if (!conn.ok())
        return Result<QImage>::failure(conn.error());
    Connection *c = conn.value();

    const QRect rect = display.nativeGeometry.intersected(
        QRect(0, 0, c->screen->width_in_pixels, c->screen->height_in_pixels));
    if (rect.isEmpty())
        return Result<QImage>::failure(QStringLiteral("the display lies outside the X screen"));
    if (c->screen->root_depth != 24 && c->screen->root_depth != 32) {
        return Result<QImage>::failure(
            QStringLiteral("unsupported screen depth %1").arg(c->screen->root_depth));
    }

    auto grabbed = grab(c, rect);
    if (!grabbed.ok())
        return grabbed;
    QImage image = std::move(grabbed.value());
    if (pixelSize.isValid() && pixelSize != image.size())
        image = image.scaled(pixelSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

Result<QImage> X11ScreenCapture::grab(Connection *c, const QRect &rect)
{
    const size_t bytes = size_t(rect.width()) * size_t(rect.height()) * 4;
    QImage image;

    bool done = false;
    if (c->hasShm && c->ensureSegment(bytes)) {
        xcb_generic_error_t *error = nullptr;
        Reply<xcb_shm_get_image_reply_t> reply(xcb_shm_get_image_reply(
            c->xcb,
            xcb_shm_get_image(c->xcb, c->screen->root, int16_t(rect.x()), int16_t(rect.y()),
                              uint16_t(rect.width()), uint16_t(rect.height()), ~0u,
                              XCB_IMAGE_FORMAT_Z_PIXMAP, c->segment.id, 0),
            &error));
        if (reply && !error) {
            image = opaqueImage(c->segment.data, rect.size());
            done = true;
        } else {
            // The server refused the segment; drop to plain requests from now on.
            std::free(error);
            c->releaseSegment();
            c->hasShm = false;
        }
    }
    if (!done) {
        xcb_generic_error_t *error = nullptr;
        Reply<xcb_get_image_reply_t> reply(xcb_get_image_reply(
            c->xcb,
            xcb_get_image(c->xcb, XCB_IMAGE_FORMAT_Z_PIXMAP, c->screen->root, int16_t(rect.x()),
                          int16_t(rect.y()), uint16_t(rect.width()), uint16_t(rect.height()), ~0u),
            &error));
        if (!reply || error) {
            const int code = error ? error->error_code : 0;
            std::free(error);
            return Result<QImage>::failure(
                QStringLiteral("the X server refused GetImage (error %1)").arg(code));
        }
        const uint8_t *data = xcb_get_image_data(reply.get());
        if (size_t(xcb_get_image_data_length(reply.get())) < bytes)
            return Result<QImage>::failure(QStringLiteral("the X server sent a short image"));
        image = opaqueImage(data, rect.size());
    }
    if (image.isNull())
        return Result<QImage>::failure(QStringLiteral("out of memory for the capture"));
    return image;
}

QImage X11ScreenCapture::opaqueImage(const uint8_t *pixels, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    // Z pixmaps of depth 24 and 32 have 32-bit pixels and rows padded to 32 bits: QImage's
    // RGB32 layout on a little-endian server, but for the top byte. Set in the same pass as
    // the copy (the loop vectorises), so it costs what the copy alone costs.
    const size_t width = size_t(size.width());
    for (int y = 0; y < size.height(); ++y) {
        const uint8_t *__restrict from = pixels + size_t(y) * width * 4;
        QRgb *__restrict row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (size_t x = 0; x < width; ++x) {
            uint32_t pixel;
            std::memcpy(&pixel, from + x * 4, 4);
            row[x] = pixel | 0xff000000u;
        }
    }
    return image;
}

Result<QList<QImage>> X11ScreenCapture::captureAreas(const QList<QRect> &nativeRects)
{
    using Images = Result<QList<QImage>>;
    auto conn = connection();
    if (!conn.ok())
        return Images::failure(conn.error());
    Connection *c = conn.value();
    if (c->screen->root_depth != 24 && c->screen->root_depth != 32) {
        return Images::failure(
            QStringLiteral("unsupported screen depth %1").arg(c->screen->root_depth));
    }

    const QRect screen(0, 0, c->screen->width_in_pixels, c->screen->height_in_pixels);
    QList<QImage> images;
    // One server grab around them all: no window moves between the parts of one picture.
    xcb_grab_server(c->xcb);
    for (const QRect &wanted : nativeRects) {
        const QRect rect = wanted.intersected(screen);
        if (rect != wanted || rect.isEmpty()) {
            xcb_ungrab_server(c->xcb);
            xcb_flush(c->xcb);
            return Images::failure(QStringLiteral("%1x%2+%3+%4 lies outside the X screen")
                                       .arg(wanted.width())
                                       .arg(wanted.height())
                                       .arg(wanted.x())
                                       .arg(wanted.y()));
        }
        auto image = grab(c, rect);
        if (!image.ok()) {
            xcb_ungrab_server(c->xcb);
            xcb_flush(c->xcb);
            return Images::failure(image.error());
        }
        images.append(std::move(image.value()));
    }
    xcb_ungrab_server(c->xcb);
    xcb_flush(c->xcb);
    return images;
}

namespace {

/// What the window manager and its clients say of the top-level windows.
struct WindowAtoms
{
    explicit WindowAtoms(xcb_connection_t *xcb)
    {
        // Asked together: one round trip.
        const char *names[] = {"WM_STATE", "_NET_FRAME_EXTENTS", "_NET_WM_WINDOW_TYPE",
                               "_NET_WM_WINDOW_TYPE_DESKTOP"};
        xcb_atom_t *atoms[] = {&wmState, &frameExtents, &windowType, &desktopType};
        xcb_intern_atom_cookie_t cookies[std::size(names)];
        for (size_t i = 0; i < std::size(names); ++i)
            cookies[i] = xcb_intern_atom(xcb, 0, uint16_t(std::strlen(names[i])), names[i]);
        for (size_t i = 0; i < std::size(names); ++i) {
            Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(xcb, cookies[i], nullptr));
            *atoms[i] = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        }
    }
    xcb_atom_t wmState = XCB_ATOM_NONE;
    xcb_atom_t frameExtents = XCB_ATOM_NONE;
    xcb_atom_t windowType = XCB_ATOM_NONE;
    xcb_atom_t desktopType = XCB_ATOM_NONE;
};

Reply<xcb_get_property_reply_t> property(xcb_connection_t *xcb, xcb_window_t window,
                                         xcb_atom_t name, xcb_atom_t type, uint32_t length)
{
    return Reply<xcb_get_property_reply_t>(xcb_get_property_reply(
        xcb, xcb_get_property(xcb, 0, window, name, type, 0, length), nullptr));
}

bool hasProperty(xcb_connection_t *xcb, xcb_window_t window, xcb_atom_t name)
{
    auto reply = property(xcb, window, name, XCB_GET_PROPERTY_TYPE_ANY, 0);
    return reply && reply->type != XCB_ATOM_NONE;
}

/// The client window of a top-level window: itself when it carries WM_STATE, else the
/// first descendant that does (a reparenting window manager's frame holds its client).
xcb_window_t clientOf(xcb_connection_t *xcb, const WindowAtoms &atoms, xcb_window_t window,
                      int depth = 0)
{
    if (hasProperty(xcb, window, atoms.wmState))
        return window;
    if (depth >= 3)
        return XCB_WINDOW_NONE;
    Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(xcb, xcb_query_tree(xcb, window), nullptr));
    if (!tree)
        return XCB_WINDOW_NONE;
    const xcb_window_t *children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        if (xcb_window_t client = clientOf(xcb, atoms, children[i], depth + 1))
            return client;
    }
    return XCB_WINDOW_NONE;
}

/// A top-level window's rectangle on the root with the frame around its client: the
/// frame window's own where the window manager reparents, else the client's grown by the
/// _NET_FRAME_EXTENTS it was given. Empty for windows that are no user's windows (unmanaged
/// ones, the desktop).
QRect frameRect(xcb_connection_t *xcb, const WindowAtoms &atoms, xcb_window_t topLevel)
{
    const xcb_window_t client = clientOf(xcb, atoms, topLevel);
    if (client == XCB_WINDOW_NONE)
        return QRect();
    if (auto type = property(xcb, client, atoms.windowType, XCB_ATOM_ATOM, 16)) {
        const auto *types = static_cast<const xcb_atom_t *>(xcb_get_property_value(type.get()));
        const int count = xcb_get_property_value_length(type.get()) / int(sizeof(xcb_atom_t));
        for (int i = 0; i < count; ++i) {
            if (types[i] == atoms.desktopType)
                return QRect();
        }
    }
    Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(xcb, xcb_get_geometry(xcb, topLevel), nullptr));
    if (!geometry)
        return QRect();
    QRect rect(geometry->x, geometry->y, geometry->width + 2 * geometry->border_width,
               geometry->height + 2 * geometry->border_width);
    if (client != topLevel)
        return rect;
    if (auto extents = property(xcb, client, atoms.frameExtents, XCB_ATOM_CARDINAL, 4)) {
        if (xcb_get_property_value_length(extents.get()) == 16) {
            const auto *e = static_cast<const uint32_t *>(xcb_get_property_value(extents.get()));
            // Left, right, top, bottom.
            rect.adjust(-int(e[0]), -int(e[2]), int(e[1]), int(e[3]));
        }
    }
    return rect;
}

} // namespace

Result<QRect> X11ScreenCapture::windowUnderPointer()
{
    auto conn = connection();
    if (!conn.ok())
        return Result<QRect>::failure(conn.error());
    Connection *c = conn.value();
    Reply<xcb_query_pointer_reply_t> pointer(
        xcb_query_pointer_reply(c->xcb, xcb_query_pointer(c->xcb, c->screen->root), nullptr));
    if (!pointer)
        return Result<QRect>::failure(
            QStringLiteral("the X server did not say where the pointer is"));
    if (pointer->child == XCB_WINDOW_NONE)
        return QRect();
    const WindowAtoms atoms(c->xcb);
    return frameRect(c->xcb, atoms, pointer->child);
}

QList<QRect> X11ScreenCapture::visibleWindows()
{
    auto conn = connection();
    if (!conn.ok())
        return {};
    Connection *c = conn.value();
    Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(c->xcb, xcb_query_tree(c->xcb, c->screen->root), nullptr));
    if (!tree)
        return {};
    const WindowAtoms atoms(c->xcb);
    const xcb_window_t *children = xcb_query_tree_children(tree.get());
    const int count = xcb_query_tree_children_length(tree.get());
    // Every child's attributes asked at once: one round trip instead of one per child, most
    // of which are unmapped or unmanaged. This runs before the region overlay can open.
    std::vector<xcb_get_window_attributes_cookie_t> cookies(size_t(std::max(count, 0)));
    for (int i = 0; i < count; ++i)
        cookies[size_t(i)] = xcb_get_window_attributes(c->xcb, children[i]);
    QList<QRect> windows;
    // The tree lists the root's children bottom to top.
    for (int i = count - 1; i >= 0; --i) {
        Reply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(c->xcb, cookies[size_t(i)], nullptr));
        if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE ||
            attributes->override_redirect)
            continue;
        const QRect rect = frameRect(c->xcb, atoms, children[i]);
        if (!rect.isEmpty())
            windows.append(rect);
    }
    return windows;
}
