#include "X11ScreenCapture.h"

#include <xcb/randr.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdlib>
#include <cstring>

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

    const size_t bytes = size_t(rect.width()) * size_t(rect.height()) * 4;
    QImage image(rect.size(), QImage::Format_RGB32);
    if (image.isNull())
        return Result<QImage>::failure(QStringLiteral("out of memory for the capture"));

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
            // Z pixmaps of depth 24 and 32 have 32-bit pixels and rows padded to 32 bits:
            // exactly QImage's RGB32 layout on a little-endian server.
            for (int y = 0; y < rect.height(); ++y) {
                std::memcpy(image.scanLine(y), c->segment.data + size_t(y) * rect.width() * 4,
                            size_t(rect.width()) * 4);
            }
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
        for (int y = 0; y < rect.height(); ++y) {
            std::memcpy(image.scanLine(y), data + size_t(y) * rect.width() * 4,
                        size_t(rect.width()) * 4);
        }
    }

    if (pixelSize.isValid() && pixelSize != image.size())
        image = image.scaled(pixelSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}
