#pragma once

#include <QColor>

/**
 * Black or white, whichever reads better on a plate of `plate`: black when the plate's
 * luma (0.299 red + 0.587 green + 0.114 blue, opacity ignored) is above one half, white
 * otherwise (a half itself included). An invalid colour gives black. Used by the text boxes
 * and the export for text on a plate.
 */
QColor contrastingTextColor(const QColor &plate);
