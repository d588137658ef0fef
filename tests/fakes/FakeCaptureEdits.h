#pragma once

#include "capture/CaptureEdits.h"
#include "capture/StoredImage.h"

#include <QColor>
#include <QImage>
#include <QPainter>

/**
 * Edits for the capture layer's tests: they paint a 10-pixel square of `colour` at the
 * picture's top-left corner, or give `replacement` in place of the picture when it is set,
 * and may hold a kept picture, as an inserted image is held.
 */
class FakeCaptureEdits final : public CaptureEdits
{
public:
    explicit FakeCaptureEdits(QColor colour, QImage replacement = {}, StoredImage kept = {})
        : m_colour(colour), m_replacement(std::move(replacement)), m_kept(std::move(kept))
    {}

    Renderer renderer() const override
    {
        return [colour = m_colour, replacement = m_replacement](const QImage &original) {
            if (!replacement.isNull())
                return Result<QImage>(replacement);
            QImage drawn = original.copy();
            QPainter(&drawn).fillRect(0, 0, 10, 10, colour);
            return Result<QImage>(drawn);
        };
    }

private:
    QColor m_colour;
    QImage m_replacement;
    StoredImage m_kept;
};
