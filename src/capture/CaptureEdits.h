#pragma once

#include "platform/Result.h"

#include <QImage>

#include <functional>

/**
 * A capture's annotations as the stack sees them: something that draws itself over the
 * capture's original picture. The editor makes them ("Save Edits", and a draft when it
 * closes with edits unsaved); CaptureStore keeps the saved ones and hands out the flattened
 * picture, ScreenshotManager keeps a capture's draft. Immutable once made; shared.
 */
class CaptureEdits
{
public:
    /// Draws the edits over `original`; runs on any thread and holds copies of all it uses.
    using Renderer = std::function<Result<QImage>(const QImage &original)>;

    virtual ~CaptureEdits() = default;

    /// Called on the UI thread, just before the flattened picture is wanted.
    virtual Renderer renderer() const = 0;
};
