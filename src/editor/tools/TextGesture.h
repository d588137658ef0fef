#pragma once

#include "ToolGesture.h"

/**
 * Text: a click places a new, empty text box there in the current text style and selects
 * it, unless a record is selected: then the click only ends that selection.
 */
class TextGesture : public ToolGesture
{
public:
    using ToolGesture::ToolGesture;

    void click(QPointF position) override;
};
