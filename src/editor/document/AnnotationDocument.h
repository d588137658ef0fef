#pragma once

#include "Annotation.h"
#include "AnnotationListModel.h"
#include "EditHistory.h"

#include <QImage>
#include <QObject>
#include <QString>
#include <QUuid>
#include <QtQml/qqmlregistration.h>

#include <functional>
#include <optional>

/**
 * The annotations of one editor: the committed records in drawing order (a list model the
 * text and image views follow), the record being drawn, the selection by id and the edit
 * history. Every change goes through here and is announced; nothing here knows of windows,
 * views or tools. Owned by EditorState.
 */
class AnnotationDocument : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Owned by EditorState")
    Q_PROPERTY(AnnotationListModel *records READ records CONSTANT)
    Q_PROPERTY(QString selectedId READ selectedIdString NOTIFY selectionChanged)

public:
    explicit AnnotationDocument(QObject *parent = nullptr);

    AnnotationListModel *records() { return &m_records; }
    const AnnotationListModel *records() const { return &m_records; }
    const QList<Annotation> &list() const { return m_records.records(); }
    /// The committed record with `id`, or null.
    const Annotation *find(const QUuid &id) const;

    /// The record being drawn: not in the list until it is committed.
    const std::optional<Annotation> &drawing() const { return m_drawing; }
    void beginDrawing(const Annotation &record);
    void extendDrawing(QPointF point);
    /// The record being drawn joins the list; nothing when none is being drawn.
    void commitDrawing();

    std::optional<QUuid> selection() const { return m_selection; }
    QString selectedIdString() const;
    bool isSelected(const QUuid &id) const { return m_selection == id; }
    void select(std::optional<QUuid> id);
    /// The selected record if it is still in the list: a selection may outlive its record
    /// (undone, cleared), and then it selects nothing.
    const Annotation *selectedRecord() const;

    void add(const Annotation &record);
    /// Adds an image record with the smaller copy of its image that the canvas shows.
    void addImage(const Annotation &record, const QImage &display);
    /// Changes the record with `id` in place; false when there is none.
    bool update(const QUuid &id, const std::function<void(Annotation &)> &change);
    /// Removes the text records with no text but whitespace.
    void removeBlankTexts();
    /// Removes the record `id` if it is a blank text.
    void removeIfBlankText(const QUuid &id);
    /// Removes every record; the selection is left as it is, naming nothing.
    void clear();
    /// Takes back the newest edit; false when there is none.
    bool undo();

Q_SIGNALS:
    void drawingChanged();
    void selectionChanged();

private:
    AnnotationListModel m_records;
    std::optional<Annotation> m_drawing;
    std::optional<QUuid> m_selection;
    EditHistory m_history;
};
