#pragma once

#include "editor/tools/DrawingTool.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QString>
#include <QUuid>

#include <optional>

/** The style of a new text box until the user picks another: written here only. */
namespace TextDefaults {
inline QString fontName()
{
    return QStringLiteral("Helvetica");
}
inline constexpr double fontSize = 24;
} // namespace TextDefaults

/**
 * One annotation of the editor: a plain value, copied on assignment, known by its id.
 * Points are in canvas space (origin at the capture's top-left corner as first laid out,
 * y downwards). Held by AnnotationDocument; drawn by the drawing layer
 * and the export.
 */
struct Annotation
{
    QUuid id;
    DrawingTool type = DrawingTool::Pen;
    QList<QPointF> points;
    QColor color;
    double lineWidth = 4;
    std::optional<QImage> imagePayload;
    std::optional<QString> textPayload;
    double imageScale = 1;
    bool textHasBackground = false;
    QString fontName = TextDefaults::fontName();
    double fontSize = TextDefaults::fontSize;
    // A step's number: its place among the document's steps, kept by the document.
    int stepNumber = 0;
    // A redaction's style: a mosaic rather than its colour.
    bool pixelate = false;

    bool operator==(const Annotation &other) const = default;

    /// A new record of `type` with a fresh id, one point and the other fields at their
    /// defaults (width 4, no payloads, scale 1, no plate, Helvetica 24).
    static Annotation create(DrawingTool type, QPointF firstPoint, const QColor &color);
    /// A new, empty text record (text present and ""), in the given style.
    static Annotation createText(QPointF topLeft, const QColor &color, bool hasBackground,
                                 const QString &fontName, double fontSize);
};

/// A text record whose text is absent or nothing but whitespace and line breaks. Only
/// `text` records are ever blank.
bool isBlankText(const Annotation &annotation);

/// A text with no characters other than whitespace and line breaks (absent counts as blank).
bool isBlank(const std::optional<QString> &text);
