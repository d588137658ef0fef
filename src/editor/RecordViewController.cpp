#include "RecordViewController.h"

#include "EditorState.h"

#include <utility>

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
    restoreShown();
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
    // The drawing layer clears what the records before this one drew where the record is:
    // shown where its view goes, they stay under the view all along the drag.
    if (m_drag.active() == RecordDrag::Kind::None) {
        restoreShown();
        return;
    }
    const Annotation *current = record();
    if (!current || !m_editor || m_editor->isFinished())
        return;
    if (!m_shownFrom)
        m_shownFrom = *current;
    Annotation shown = *m_shownFrom;
    if (!shown.points.isEmpty())
        shown.points.first() = m_drag.position();
    shown.imageScale = m_drag.scale();
    if (!(shown == *current))
        m_editor->document()->show(shown);
}

void RecordViewController::restoreShown()
{
    if (!m_shownFrom)
        return;
    const Annotation from = *std::exchange(m_shownFrom, std::nullopt);
    const Annotation *current = record();
    if (current && m_editor && !m_editor->isFinished() && !(from == *current))
        m_editor->document()->show(from);
}
