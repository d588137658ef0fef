#include "DroppedImageGesture.h"

#include "EditorState.h"

#include <cmath>

DroppedImageGesture::DroppedImageGesture(QObject *parent) : RecordViewController(parent)
{
    connect(this, &RecordViewController::editorChanged, this,
            &DroppedImageGesture::displayImageChanged);
    connect(this, &RecordViewController::annotationIdChanged, this,
            &DroppedImageGesture::displayImageChanged);
}

QImage DroppedImageGesture::displayImage() const
{
    if (!editor())
        return {};
    return editor()->document()->records()->displayImage(QUuid::fromString(annotationId()));
}

void DroppedImageGesture::begin(QPointF position, double scale)
{
    m_drag.reset(position, scale);
    showDrag();
}

void DroppedImageGesture::moveChanged(QPointF translation, double zoom)
{
    selectRecord();
    if (m_drag.moveBy(translation, zoom))
        showDrag();
}

void DroppedImageGesture::moveEnded()
{
    if (!m_drag.end(RecordDrag::Kind::Move))
        return;
    const QPointF position = m_drag.position();
    writeBack([position](Annotation &record) {
        if (!record.points.isEmpty())
            record.points.first() = position;
    });
}

void DroppedImageGesture::moveCancelled()
{
    if (m_drag.cancel(RecordDrag::Kind::Move))
        showDrag();
}

void DroppedImageGesture::resizeChanged(double dx, double zoom, double imageWidth)
{
    if (!std::isfinite(zoom) || !(zoom > 0) || !std::isfinite(dx))
        return;
    const double w = std::max(imageWidth, 1.0);
    if (m_drag.scaleTo((2 * dx / zoom + w * m_drag.startScale()) / w, minimumScale))
        showDrag();
}

void DroppedImageGesture::resizeEnded()
{
    if (!m_drag.end(RecordDrag::Kind::Scale))
        return;
    const double scale = m_drag.scale();
    writeBack([scale](Annotation &record) { record.imageScale = scale; });
}

void DroppedImageGesture::resizeCancelled()
{
    if (m_drag.cancel(RecordDrag::Kind::Scale))
        showDrag();
}
