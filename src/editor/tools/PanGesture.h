#pragma once

#include "ToolGesture.h"

/** Pan: a drag moves the canvas with the pointer. */
class PanGesture : public ToolGesture
{
public:
    using ToolGesture::ToolGesture;

    void press(QPointF position) override;
    void move(QPointF position, QSizeF travel) override;
    void end() override;
};
