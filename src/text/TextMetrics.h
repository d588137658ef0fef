#pragma once

#include <QFont>
#include <QPointF>
#include <QSizeF>
#include <QString>

class QPaintDevice;
class QPainter;

/**
 * How big a text annotation's text is, measured one way for the screen and the export so the
 * boxes agree: lines split at line breaks only (nothing wraps), as wide as the longest line,
 * one line height (rounded up to a whole unit) per line including an empty last one. Sizes are in
 * the units the text is set in: a 24-unit font has a 24-unit em on screen (canvas points) and in
 * the export (image points). Used by TextBoxController and ExportRenderer.
 */
namespace TextMetrics {

/// The font for `name` with an em of `size` units on `device` (none: the screen, whose
/// resolution Qt Quick lays text out at). Family names are resolved once per name.
QFont font(const QString &name, double size, const QPaintDevice *device = nullptr);

/// The rectangle the laid-out lines of `text` take, from their top-left corner.
QSizeF measure(const QFont &font, const QString &text, const QPaintDevice *device = nullptr);

/// The size a text field shows `text` at: its measure, but 10 wide when the text is empty,
/// which leaves room for the caret.
QSizeF idealSize(const QFont &font, const QString &text, const QPaintDevice *device = nullptr);

/// Draws `text` line by line at the positions `measure` counts with, from `topLeft`.
void draw(QPainter &painter, QPointF topLeft, const QFont &font, const QString &text);

/// Width of an empty text field.
inline constexpr double emptyWidth = 10;

} // namespace TextMetrics
