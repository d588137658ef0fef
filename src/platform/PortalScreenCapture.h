#pragma once

#include "ScreenCapture.h"
#include "ScreenLayout.h"
#include "ScreenshotPermission.h"
#include "WaitCanceller.h"

#include <QDBusConnection>

#include <functional>

/**
 * Screen capture on Wayland desktops: a non-interactive request to the desktop's screenshot
 * portal. The portal writes the whole desktop to a file; the primary screen is cut out of
 * it, the file is read into memory and removed at once. Each capture first reads the
 * permission the user stored for the portal, as the start-up check does.
 */
class PortalScreenCapture final : public ScreenCapture
{
public:
    using LayoutSource = std::function<ScreenLayout()>;

    static constexpr int DefaultTimeoutMs = 30000;
    /// Larger files are refused unread: a screenshot of eight 8K screens is far smaller.
    static constexpr qint64 MaxFileBytes = qint64(1) << 30;

    PortalScreenCapture(QDBusConnection bus, LayoutSource layout, int timeoutMs = DefaultTimeoutMs);

    /// False while the permission store holds a "no": no portal call is made then.
    bool requestAccess() override;
    Result<QList<CaptureDisplay>> displays() override;
    Result<QImage> capture(const CaptureDisplay &display, QSize pixelSize) override;
    Result<QList<QImage>> captureAreas(const QList<QRect> &nativeRects) override;
    /// The portal's interactive request: the desktop's chooser lets the user pick a window.
    Result<QImage> captureChosenWindow() override;
    void abandon() override { m_canceller.cancel(); }

    /// The primary screen's part of a whole-desktop image, at the image's own scale: the
    /// screen's real pixels, never resampled (the manager takes the ratio from them).
    static Result<QImage> cropToPrimary(const QImage &desktopImage, const ScreenLayout &layout);
    /// The parts of a whole-desktop image that show `nativeRects`, device-pixel rectangles
    /// of the desktop as the layout gives it, each at the image's own scale.
    static Result<QList<QImage>> cropAreas(const QImage &desktopImage, const ScreenLayout &layout,
                                           const QList<QRect> &nativeRects);
    /// Reads and removes the portal's file, which must be a local regular file holding an image.
    static Result<QImage> takeFile(const QString &uri);

private:
    /// One request: the whole desktop as the portal wrote it, or with `interactive` what
    /// the user chose in the desktop's dialog.
    Result<QImage> screenshot(bool interactive = false);

    QDBusConnection m_bus;
    ScreenshotPermission m_permission;
    LayoutSource m_layout;
    int m_timeoutMs;
    WaitCanceller m_canceller;
};
