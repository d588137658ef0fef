#pragma once

#include "Result.h"

#include <QImage>
#include <QList>
#include <QRect>
#include <QString>

/** One display that can be captured, with its rectangle in device pixels. */
struct CaptureDisplay
{
    QString name;
    QRect nativeGeometry;
};

/**
 * The screen-capture service. ScreenshotManager asks it for the displays and for one
 * capture of the first display at a given pixel size.
 *
 * `displays()` and `capture()` block and are called off the UI thread, one call at a
 * time, from the manager's capture worker; implementations keep their own connection to
 * the display server for that. `requestAccess()` runs on the UI thread.
 */
class ScreenCapture
{
public:
    virtual ~ScreenCapture() = default;

    /// Whether the program may read the screen; may ask the user the first time.
    virtual bool requestAccess() = 0;
    /// The displays, the primary one first.
    virtual Result<QList<CaptureDisplay>> displays() = 0;
    /// One image of `display`, scaled to `pixelSize` when that differs from its native size.
    virtual Result<QImage> capture(const CaptureDisplay &display, QSize pixelSize) = 0;
    /// One picture per rectangle of the desktop in device pixels, all taken at the same
    /// moment. A backend whose pictures are denser than the device pixels it knows of (a
    /// portal's) may return more pixels for the same area; never fewer.
    virtual Result<QList<QImage>> captureAreas(const QList<QRect> &nativeRects);
    /// The top-level window under the pointer with its frame, in device pixels; an empty
    /// rectangle when the pointer is over no window (the desktop). Fails where programs may
    /// not see the windows of others.
    virtual Result<QRect> windowUnderPointer();
    /// A window the user picks in the desktop's own chooser, as a picture; for desktops that
    /// hide their windows from programs (Wayland), where windowUnderPointer() cannot answer.
    virtual Result<QImage> captureChosenWindow();
    /// Every top-level window that is shown, with its frame, in device pixels, the topmost
    /// first; what the region overlay outlines. Empty where windows cannot be seen.
    virtual QList<QRect> visibleWindows() { return {}; }
    /// Makes a blocking `capture()` give up at once, and every later one fail; called on the
    /// UI thread when the owner goes and is about to wait for its worker.
    virtual void abandon() {}
};

#include <memory>

/// The backend for the running platform.
std::unique_ptr<ScreenCapture> createScreenCapture();
