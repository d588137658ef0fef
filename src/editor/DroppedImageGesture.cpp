#include "DroppedImageGesture.h"

#include "EditorState.h"

#include <cmath>

namespace {

bool isUsableZoom(double zoom)
{
    return std::isfinite(zoom) && zoom > 0;
}

} // namespace

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
    return m_editor->annotations()->displayImage(QUuid::fromString(m_annotationId));
}

void DroppedImageGesture::begin(QPointF position, double scale)
{
    m_startPos = position;
    m_startScale = scale;
    setDragPos(position);
    setDragScale(scale);
}

void DroppedImageGesture::moveChanged(QPointF translation, double zoom)
{
    if (m_editor)
        m_editor->selectAnnotation(m_annotationId);
    if (!isUsableZoom(zoom))
        return;
    const QPointF position = m_startPos + translation / zoom;
    if (std::isfinite(position.x()) && std::isfinite(position.y()))
        setDragPos(position);
}

void DroppedImageGesture::moveEnded()
{
    m_startPos = m_dragPos;
    if (!m_editor || m_editor->isFinished())
        return;
    const QPointF position = m_dragPos;
    m_editor->annotations()->update(QUuid::fromString(m_annotationId),
                                    [position](Annotation &record) {
                                        if (!record.points.isEmpty())
                                            record.points.first() = position;
                                    });
}

void DroppedImageGesture::resizeChanged(double dx, double zoom, double imageWidth)
{
    if (!isUsableZoom(zoom) || !std::isfinite(dx))
        return;
    const double w = std::max(imageWidth, 1.0);
    const double scale = std::max((2 * dx / zoom + w * m_startScale) / w, minimumScale);
    if (std::isfinite(scale))
        setDragScale(scale);
}

void DroppedImageGesture::resizeEnded()
{
    m_startScale = m_dragScale;
    if (!m_editor || m_editor->isFinished())
        return;
    const double scale = m_dragScale;
    m_editor->annotations()->update(QUuid::fromString(m_annotationId),
                                    [scale](Annotation &record) { record.imageScale = scale; });
}

void DroppedImageGesture::setDragPos(QPointF position)
{
    if (position == m_dragPos)
        return;
    m_dragPos = position;
    Q_EMIT dragPosChanged();
}

void DroppedImageGesture::setDragScale(double scale)
{
    if (scale == m_dragScale)
        return;
    m_dragScale = scale;
    Q_EMIT dragScaleChanged();
}
