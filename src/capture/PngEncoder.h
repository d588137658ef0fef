#pragma once

#include "platform/Result.h"

#include <QByteArray>
#include <QImage>

/**
 * Writes a capture as a standard, lossless PNG fast enough to hand out while a drag is on:
 * each row with the SUB filter, one zlib stream made by libdeflate at its fastest level.
 * Opaque images become 8-bit RGB, images with transparency 8-bit RGBA. Thread-safe; used by
 * the drag-out off the UI thread.
 */
namespace PngEncoder {

Result<QByteArray> encode(const QImage &image);

} // namespace PngEncoder
