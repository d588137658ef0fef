#include "AnnotationDocument.h"

AnnotationDocument::AnnotationDocument(QObject *parent) : QObject(parent) {}

const Annotation *AnnotationDocument::find(const QUuid &id) const
{
    const int row = m_records.indexOf(id);
    return row >= 0 ? &m_records.at(row) : nullptr;
}

void AnnotationDocument::beginDrawing(const Annotation &record)
{
    m_drawing = record;
    Q_EMIT drawingChanged();
}

void AnnotationDocument::extendDrawing(QPointF point)
{
    if (!m_drawing)
        return;
    m_drawing->points.append(point);
    Q_EMIT drawingChanged();
}

void AnnotationDocument::commitDrawing()
{
    if (!m_drawing)
        return;
    const Annotation finished = *m_drawing;
    m_drawing.reset();
    add(finished);
    Q_EMIT drawingChanged();
}

QString AnnotationDocument::selectedIdString() const
{
    return m_selection ? m_selection->toString(QUuid::WithoutBraces) : QString();
}

void AnnotationDocument::select(std::optional<QUuid> id)
{
    if (id == m_selection)
        return;
    m_selection = id;
    Q_EMIT selectionChanged();
}

const Annotation *AnnotationDocument::selectedRecord() const
{
    return m_selection ? find(*m_selection) : nullptr;
}

void AnnotationDocument::add(const Annotation &record)
{
    m_records.append(record);
    m_history.recordAdded(record.id);
}

void AnnotationDocument::addImage(const Annotation &record, const QImage &display)
{
    m_records.appendImage(record, display);
    m_history.recordAdded(record.id);
}

bool AnnotationDocument::update(const QUuid &id, const std::function<void(Annotation &)> &change)
{
    return m_records.update(id, change);
}

void AnnotationDocument::removeBlankTexts()
{
    m_records.removeIf(isBlankText);
}

void AnnotationDocument::removeIfBlankText(const QUuid &id)
{
    m_records.removeIf(
        [&id](const Annotation &record) { return record.id == id && isBlankText(record); });
}

void AnnotationDocument::clear()
{
    m_records.clear();
    m_history.forgetAll();
}

bool AnnotationDocument::undo()
{
    const std::optional<QUuid> newest =
        m_history.takeNewest([this](const QUuid &id) { return m_records.contains(id); });
    if (!newest)
        return false;
    return m_records.removeIf(
               [&newest](const Annotation &record) { return record.id == *newest; }) > 0;
}
