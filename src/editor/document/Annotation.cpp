#include "Annotation.h"

Annotation Annotation::create(DrawingTool type, QPointF firstPoint, const QColor &color)
{
    Annotation annotation;
    annotation.id = QUuid::createUuid();
    annotation.type = type;
    annotation.points = {firstPoint};
    annotation.color = color;
    return annotation;
}

Annotation Annotation::createText(QPointF topLeft, const QColor &color, bool hasBackground,
                                  const QString &fontName, double fontSize)
{
    Annotation annotation = create(DrawingTool::Text, topLeft, color);
    annotation.textPayload = QString();
    annotation.textHasBackground = hasBackground;
    annotation.fontName = fontName;
    annotation.fontSize = fontSize;
    return annotation;
}

bool isBlank(const std::optional<QString> &text)
{
    if (!text)
        return true;
    for (QChar c : *text) {
        if (!c.isSpace())
            return false;
    }
    return true;
}

bool isBlankText(const Annotation &annotation)
{
    return annotation.type == DrawingTool::Text && isBlank(annotation.textPayload);
}
