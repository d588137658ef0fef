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
    /// Makes a blocking `capture()` give up at once, and every later one fail; called on the
    /// UI thread when the owner goes and is about to wait for its worker.
    virtual void abandon() {}
};

#include <memory>

/// The backend for the running platform.
std::unique_ptr<ScreenCapture> createScreenCapture();
