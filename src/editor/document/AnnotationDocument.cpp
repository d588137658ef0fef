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

namespace {

RecordVersion versionOf(const Annotation &record)
{
    return std::make_shared<const Annotation>(record);
}

} // namespace

void AnnotationDocument::push(EditStep step)
{
    m_textSession.reset();
    m_history.push(std::move(step));
    renumberSteps();
    Q_EMIT historyChanged();
}

void AnnotationDocument::add(const Annotation &record)
{
    addImage(record, QImage());
}

void AnnotationDocument::addImage(const Annotation &record, const QImage &display)
{
    const int row = m_records.count();
    m_records.insertAt(row, record, display);
    EditStep step;
    step.kind = EditStep::Kind::Insert;
    step.records = {{row, versionOf(record), display}};
    push(std::move(step));
    // A new text box is typed into next: that typing belongs to its addition.
    if (record.type == DrawingTool::Text)
        m_textSession = record.id;
}

bool AnnotationDocument::update(const QUuid &id, const std::function<void(Annotation &)> &change)
{
    const Annotation *current = find(id);
    if (!current)
        return false;
    Annotation changed = *current;
    change(changed);
    changed.id = id;
    if (changed == *current)
        return true;
    EditStep step;
    step.kind = EditStep::Kind::Change;
    step.before = versionOf(*current);
    step.after = versionOf(changed);
    replace(changed);
    push(std::move(step));
    return true;
}

bool AnnotationDocument::editText(const QUuid &id, const QString &text)
{
    const Annotation *current = find(id);
    if (!current)
        return false;
    if (current->textPayload == text)
        return true;
    Annotation changed = *current;
    changed.textPayload = text;
    EditStep *newest = m_history.newestDone();
    const bool continues =
        m_textSession == id && newest && !m_history.canRedo() &&
        ((newest->kind == EditStep::Kind::Insert && newest->records.size() == 1 &&
          newest->records.first().record->id == id) ||
         (newest->kind == EditStep::Kind::Change && newest->after->id == id));
    if (!continues) {
        update(id, [&text](Annotation &record) { record.textPayload = text; });
        m_textSession = id;
        return true;
    }
    replace(changed);
    if (newest->kind == EditStep::Kind::Insert)
        newest->records.first().record = versionOf(changed);
    else
        newest->after = versionOf(changed);
    return true;
}

bool AnnotationDocument::show(const Annotation &shown)
{
    if (!find(shown.id))
        return false;
    replace(shown);
    return true;
}

void AnnotationDocument::finishShowing(const Annotation &before)
{
    const Annotation *current = find(before.id);
    if (!current || *current == before)
        return;
    EditStep step;
    step.kind = EditStep::Kind::Change;
    step.before = versionOf(before);
    step.after = versionOf(*current);
    push(std::move(step));
}

void AnnotationDocument::setCrop(std::optional<QRectF> crop)
{
    const std::optional<QRectF> before = m_crop;
    showCrop(crop);
    finishCrop(before);
}

void AnnotationDocument::showCrop(std::optional<QRectF> crop)
{
    if (crop && (!(crop->width() > 0) || !(crop->height() > 0)))
        return;
    if (crop)
        crop = crop->normalized();
    if (crop == m_crop)
        return;
    m_crop = crop;
    Q_EMIT cropChanged();
}

void AnnotationDocument::finishCrop(std::optional<QRectF> before)
{
    if (before == m_crop)
        return;
    EditStep step;
    step.kind = EditStep::Kind::Crop;
    step.cropBefore = before;
    step.cropAfter = m_crop;
    push(std::move(step));
}

bool AnnotationDocument::remove(const QUuid &id)
{
    const int row = m_records.indexOf(id);
    if (row < 0)
        return false;
    EditStep step;
    step.kind = EditStep::Kind::Remove;
    step.records = {{row, versionOf(m_records.at(row)), m_records.displayImage(id)}};
    m_records.removeAt(row);
    push(std::move(step));
    return true;
}

void AnnotationDocument::removeBlankTexts()
{
    m_records.removeIf(isBlankText);
}

void AnnotationDocument::renumberSteps()
{
    int next = 1;
    for (int row = 0; row < m_records.count(); ++row) {
        const Annotation &record = m_records.at(row);
        if (record.type != DrawingTool::Step)
            continue;
        const int number = next++;
        if (record.stepNumber != number)
            m_records.update(record.id, [number](Annotation &held) { held.stepNumber = number; });
    }
}

void AnnotationDocument::removeIfBlankText(const QUuid &id)
{
    m_records.removeIf(
        [&id](const Annotation &record) { return record.id == id && isBlankText(record); });
}

void AnnotationDocument::clear()
{
    if (m_records.count() == 0)
        return;
    EditStep step;
    step.kind = EditStep::Kind::Remove;
    for (int row = 0; row < m_records.count(); ++row) {
        const Annotation &record = m_records.at(row);
        step.records.append({row, versionOf(record), m_records.displayImage(record.id)});
    }
    m_records.clear();
    push(std::move(step));
}

void AnnotationDocument::revert()
{
    if (isEmpty())
        return;
    EditStep step;
    step.kind = EditStep::Kind::Revert;
    for (int row = 0; row < m_records.count(); ++row) {
        const Annotation &record = m_records.at(row);
        step.records.append({row, versionOf(record), m_records.displayImage(record.id)});
    }
    step.cropBefore = m_crop;
    m_records.clear();
    if (m_crop) {
        m_crop.reset();
        Q_EMIT cropChanged();
    }
    push(std::move(step));
}

void AnnotationDocument::load(const QList<Annotation> &records,
                              const QHash<QUuid, QImage> &displays, std::optional<QRectF> crop)
{
    m_drawing.reset();
    m_textSession.reset();
    select(std::nullopt);
    m_records.clear();
    for (const Annotation &record : records)
        m_records.insertAt(m_records.count(), record, displays.value(record.id));
    renumberSteps();
    if (crop != m_crop) {
        m_crop = crop;
        Q_EMIT cropChanged();
    }
    m_history = EditHistory();
    Q_EMIT drawingChanged();
    Q_EMIT historyChanged();
}

bool AnnotationDocument::undo()
{
    m_textSession.reset();
    while (m_history.canUndo()) {
        const EditStep &step = m_history.stepBack();
        if (apply(step, false)) {
            renumberSteps();
            Q_EMIT historyChanged();
            return true;
        }
        m_history.forgetLastStepped();
    }
    Q_EMIT historyChanged();
    return false;
}

bool AnnotationDocument::redo()
{
    m_textSession.reset();
    while (m_history.canRedo()) {
        const EditStep &step = m_history.stepForward();
        if (apply(step, true)) {
            renumberSteps();
            Q_EMIT historyChanged();
            return true;
        }
        m_history.forgetLastStepped();
    }
    Q_EMIT historyChanged();
    return false;
}

bool AnnotationDocument::apply(const EditStep &step, bool forwards)
{
    const auto allPresent = [this](const QList<EditStep::Row> &rows, bool present) {
        for (const EditStep::Row &row : rows) {
            if (m_records.contains(row.record->id) != present)
                return false;
        }
        return true;
    };
    switch (step.kind) {
    case EditStep::Kind::Insert:
    case EditStep::Kind::Remove: {
        const bool inserts = (step.kind == EditStep::Kind::Insert) == forwards;
        if (!allPresent(step.records, !inserts))
            return false;
        if (inserts)
            insertRows(step.records);
        else
            removeRows(step.records);
        return true;
    }
    case EditStep::Kind::Change: {
        const RecordVersion &target = forwards ? step.after : step.before;
        if (!find(target->id))
            return false;
        replace(*target);
        return true;
    }
    case EditStep::Kind::Crop:
        m_crop = forwards ? step.cropAfter : step.cropBefore;
        Q_EMIT cropChanged();
        return true;
    case EditStep::Kind::Revert:
        if (!allPresent(step.records, forwards))
            return false;
        if (forwards)
            removeRows(step.records);
        else
            insertRows(step.records);
        m_crop = forwards ? std::nullopt : step.cropBefore;
        Q_EMIT cropChanged();
        return true;
    }
    return false;
}

void AnnotationDocument::insertRows(const QList<EditStep::Row> &rows)
{
    // Ascending, so each lands at the row it held with the ones before it back in place.
    for (const EditStep::Row &row : rows)
        m_records.insertAt(row.row, *row.record, row.display);
}

void AnnotationDocument::removeRows(const QList<EditStep::Row> &rows)
{
    for (const EditStep::Row &row : rows)
        m_records.removeAt(m_records.indexOf(row.record->id));
}

void AnnotationDocument::replace(const Annotation &record)
{
    m_records.update(record.id, [&record](Annotation &held) { held = record; });
}
