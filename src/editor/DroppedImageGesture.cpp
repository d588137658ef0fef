#include "DroppedImageGesture.h"

#include "EditorState.h"

#include <cmath>

DroppedImageGesture::DroppedImageGesture(QObject *parent) : QObject(parent) {}

void DroppedImageGesture::setEditor(EditorState *editor)
{
    if (m_editor == editor)
        return;
    m_editor = editor;
    Q_EMIT editorChanged();
    Q_EMIT displayImageChanged();
}

void DroppedImageGesture::setAnnotationId(const QString &id)
{
    if (m_annotationId == id)
        return;
    m_annotationId = id;
    Q_EMIT annotationIdChanged();
    Q_EMIT displayImageChanged();
}

QImage DroppedImageGesture::displayImage() const
{
    if (!m_editor)
        return {};
    return m_editor->document()->records()->displayImage(QUuid::fromString(m_annotationId));
}

void DroppedImageGesture::begin(QPointF position, double scale)
{
    m_drag.reset(position, scale);
    showDrag();
}

void DroppedImageGesture::moveChanged(QPointF translation, double zoom)
{
    if (m_editor)
        m_editor->selectAnnotation(m_annotationId);
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

void DroppedImageGesture::writeBack(const std::function<void(Annotation &)> &change)
{
    if (m_editor && !m_editor->isFinished())
        m_editor->document()->update(QUuid::fromString(m_annotationId), change);
}

void DroppedImageGesture::showDrag()
{
    if (m_drag.position() != m_dragPos) {
        m_dragPos = m_drag.position();
        Q_EMIT dragPosChanged();
    }
    if (m_drag.scale() != m_dragScale) {
        m_dragScale = m_drag.scale();
        Q_EMIT dragScaleChanged();
    }
}
