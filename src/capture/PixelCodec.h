#pragma once

#include "platform/Result.h"

#include <QByteArray>
#include <QImage>

/**
 * Turns a capture's pixels into a compact, self-describing byte string and back, losslessly.
 * CaptureStore keeps captures this way; tests hand the store a codec that fails.
 * Implementations are stateless and called from worker threads, several at once.
 */
class PixelCodec
{
public:
    virtual ~PixelCodec() = default;

    /// The image's pixels and everything needed to rebuild it exactly (size, format, device
    /// pixel ratio, colour table and space).
    virtual Result<QByteArray> compress(const QImage &image) const = 0;
    /// The image `compress()` was given, bit for bit; a failure for anything else.
    virtual Result<QImage> decompress(const QByteArray &packed) const = 0;
};
