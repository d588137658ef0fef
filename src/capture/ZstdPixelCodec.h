#pragma once

#include "capture/PixelCodec.h"

/**
 * The capture store's codec: each row with the SUB filter (every byte minus the same byte of
 * the pixel to its left), then one zstd frame at level 1 with its content checksum. Screen
 * captures (XRGB32 with every padding byte 0xff) drop the padding byte, a quarter of the
 * input; every other format keeps its row bytes as they are, alpha included.
 */
class ZstdPixelCodec final : public PixelCodec
{
public:
    Result<QByteArray> compress(const QImage &image) const override;
    Result<QImage> decompress(const QByteArray &packed) const override;
};
