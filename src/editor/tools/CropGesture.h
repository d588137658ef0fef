#pragma once

#include "ToolGesture.h"

#include <QRectF>

#include <optional>

/**
 * Crop: a drag draws the output rectangle, or moves the corner of the present one that it
 * starts on; the whole drag is one step of the history. Outside the rectangle the canvas
 * is dimmed and the saved picture is cut to it.
 */
class CropGesture : public ToolGesture
{
public:
    using ToolGesture::ToolGesture;

    /// Points on screen within which a press takes a corner.
    static constexpr double cornerSlack = 10;

    void press(QPointF position) override;
    void move(QPointF position, QSizeF travel) override;
    void end() override;
    /// A click keeps the crop as it is.
    void click(QPointF) override {}

private:
    bool m_dragging = false;
    std::optional<QRectF> m_before;
    QPointF m_anchor; // the corner that stays, in canvas units
};
