#include "RecordViewController.h"

#include "EditorState.h"

RecordViewController::RecordViewController(QObject *parent) : QObject(parent) {}

void RecordViewController::setEditor(EditorState *editor)
{
    if (m_editor == editor)
        return;
    m_editor = editor;
    Q_EMIT editorChanged();
}

void RecordViewController::setAnnotationId(const QString &id)
{
    if (m_annotationId == id)
        return;
    m_annotationId = id;
    Q_EMIT annotationIdChanged();
}

const Annotation *RecordViewController::record() const
{
    const QUuid id = QUuid::fromString(m_annotationId);
    return m_editor && !id.isNull() ? m_editor->document()->find(id) : nullptr;
}

void RecordViewController::writeBack(const std::function<void(Annotation &)> &change)
{
    const QUuid id = QUuid::fromString(m_annotationId);
    if (m_editor && !m_editor->isFinished() && !id.isNull())
        m_editor->document()->update(id, change);
}

void RecordViewController::writeTextBack(const QString &text)
{
    const QUuid id = QUuid::fromString(m_annotationId);
    if (m_editor && !m_editor->isFinished() && !id.isNull())
        m_editor->document()->editText(id, text);
}

void RecordViewController::selectRecord()
{
    if (m_editor)
        m_editor->selectAnnotation(m_annotationId);
}

void RecordViewController::showDrag()
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
