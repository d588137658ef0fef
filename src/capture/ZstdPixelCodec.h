#pragma once

#include "capture/PixelCodec.h"

/**
 * The capture store's codec: each row filtered into small numbers, then one zstd frame at
 * level 1 with its content checksum. Screen captures (XRGB32 with every padding byte 0xff)
 * drop the padding byte, a quarter of the input, and choose a filter per row: the left
 * neighbour's difference for screen content, or for photographs the mean of the left and
 * upper neighbours and red and blue relative to green. Every other format keeps its row bytes
 * as they are, alpha included, with the left neighbour's difference.
 */
class ZstdPixelCodec final : public PixelCodec
{
public:
    Result<QByteArray> compress(const QImage &image) const override;
    Result<QImage> decompress(const QByteArray &packed) const override;
};
