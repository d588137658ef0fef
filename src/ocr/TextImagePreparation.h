#pragma once

#include <QImage>

/**
 * Turns a capture into the picture a text recogniser reads best: 8-bit grey, every area of
 * light text on a dark ground turned into dark text on a light one (a screen has both, side
 * by side), and enlarged where its text is small (screen text at one pixel to a point is
 * about half the size the recogniser was trained on). Used by TextCopy's worker.
 */
class TextImagePreparation
{
public:
    /// The side of the square areas whose ground decides, each for itself, whether it is
    /// turned over.
    static constexpr int TileSize = 32;
    /// What the prepared picture may grow to; a larger capture is enlarged less.
    static constexpr qint64 MaximumPixels = 40'000'000;
    /// How many pixels to a point the recogniser reads best.
    static constexpr int PixelsPerPoint = 2;

    /// How much a picture with `devicePixelRatio` pixels to a point and this size is
    /// enlarged: up to PixelsPerPoint, never past MaximumPixels, never shrunk.
    static int scaleFor(QSize size, qreal devicePixelRatio);
    /// `picture` in grey (transparency on white), dark on light, `scale` times as large. A
    /// null picture gives a null one.
    static QImage prepare(const QImage &picture, int scale);
};
