#pragma once

#include "ToolGesture.h"

#include "editor/document/Annotation.h"

#include <optional>

/**
 * Select, for the shape records (text and images have views that take their own input): a
 * press on a shape selects it, topmost first, and a drag moves it; a press on a handle of
 * the selected shape reshapes it; the whole drag is one step of the history. A click on the
 * empty canvas deselects.
 */
class SelectGesture : public ToolGesture
{
public:
    using ToolGesture::ToolGesture;

    /// Points on screen within which a press still hits a shape or a handle.
    static constexpr double hitSlack = 4;
    static constexpr double handleSlack = 8;

    void press(QPointF position) override;
    void move(QPointF position, QSizeF travel) override;
    void end() override;
    void click(QPointF position) override;

private:
    std::optional<Annotation> m_before; // the record as the drag found it
    std::optional<int> m_handle;
    QPointF m_pressPoint;        // in canvas units
    bool m_pressedShape = false; // the last press landed on a shape or a handle
};
