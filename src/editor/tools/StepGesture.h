#pragma once

#include "ToolGesture.h"

/**
 * Step: a click places a filled circle in the current colour, which the document numbers
 * after the steps before it.
 */
class StepGesture : public ToolGesture
{
public:
    using ToolGesture::ToolGesture;

    void click(QPointF position) override;
};
