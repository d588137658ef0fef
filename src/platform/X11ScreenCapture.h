#pragma once

#include "ScreenCapture.h"

#include <QByteArray>
#include <QImage>

#include <memory>

/**
 * Screen capture on an X server: one GetImage of the display's rectangle on the root
 * window, through a shared-memory segment that is kept attached between captures when the
 * server offers MIT-SHM, plain GetImage otherwise. Uses a connection of its own, only
 * from the capture worker.
 */
class X11ScreenCapture final : public ScreenCapture
{
public:
    explicit X11ScreenCapture(QByteArray displayName);
    ~X11ScreenCapture() override;

    bool requestAccess() override { return true; }
    Result<QList<CaptureDisplay>> displays() override;
    Result<QImage> capture(const CaptureDisplay &display, QSize pixelSize) override;
    Result<QList<QImage>> captureAreas(const QList<QRect> &nativeRects) override;
    Result<QRect> windowUnderPointer() override;
    QList<QRect> visibleWindows() override;

    /// The pixels of a Z pixmap of depth 24 or 32 (32-bit pixels, rows without padding) as
    /// an RGB32 image of `size`. The server sends the unused top byte of a depth-24 pixel as
    /// zero; RGB32 wants it at 0xff, and a zero there makes the pixel transparent wherever
    /// Qt copies it onto a picture with alpha (the loupe's cells, a capture with gaps).
    static QImage opaqueImage(const uint8_t *pixels, QSize size);

private:
    struct Connection;
    Result<Connection *> connection();
    /// The root window's pixels in `rect`, which must lie on the X screen.
    Result<QImage> grab(Connection *c, const QRect &rect);

    QByteArray m_displayName;
    std::unique_ptr<Connection> m_connection;
};
