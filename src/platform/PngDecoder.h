#pragma once

#include "platform/Result.h"

#include <QByteArray>
#include <QImage>

#include <optional>

class QIODevice;

/**
 * Reads PNG files, quickly for the kind screenshot tools write. 8-bit RGB and RGBA images
 * without interlacing or colour-space chunks are decoded here (one libdeflate pass, then the
 * row filters undone straight into the image); everything else goes through Qt's reader.
 * Both paths give the same pixels in the same format: Format_RGB32 for RGB, Format_ARGB32
 * for RGBA. Files in other formats are read by Qt too. Thread-safe.
 */
namespace PngDecoder {

/// The largest image either path accepts, in pixels: 256 MiB at four bytes a pixel, as
/// much as Qt's readers allow themselves (three 4K screens side by side take 25 Mi).
inline constexpr qint64 MaximumPixels = qint64(1) << 26;

Result<QImage> decode(const QByteArray &bytes);

/// False for a PNG file with a chunk that claims to run past the file's end. Qt's reader
/// (libpng) would first allocate what such a chunk claims, up to 2 GiB for a few bytes.
bool chunksFitInFile(const QByteArray &bytes);
/// The same for the chunks before the pixels (what a reader takes for the header) of a PNG
/// file read from `device`, which is left at its start. True for anything but a PNG.
bool headerChunksFitInFile(QIODevice &device);

/// The fast path alone: nothing when the file is not of its kind or is damaged (the caller
/// then asks Qt, which says what is wrong). Public for tests and benchmarks.
std::optional<QImage> decodeCommon(const QByteArray &bytes);

} // namespace PngDecoder
