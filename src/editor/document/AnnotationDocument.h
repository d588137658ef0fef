#pragma once

#include "Annotation.h"
#include "AnnotationListModel.h"
#include "EditHistory.h"

#include <QHash>
#include <QImage>
#include <QObject>
#include <QRectF>
#include <QString>
#include <QUuid>
#include <QtQml/qqmlregistration.h>

#include <functional>
#include <optional>

/**
 * The annotations of one editor: the committed records in drawing order (a list model the
 * text and image views follow), the record being drawn, the selection by id and the edit
 * history. Every change goes through here and is announced; nothing here knows of windows,
 * views or tools. Steps are numbered by their order in the list, so removing one renumbers
 * the later ones and taking the removal back restores them. Owned by EditorState.
 */
class AnnotationDocument : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Owned by EditorState")
    Q_PROPERTY(AnnotationListModel *records READ records CONSTANT)
    Q_PROPERTY(QString selectedId READ selectedIdString NOTIFY selectionChanged)
    Q_PROPERTY(bool canUndo READ canUndo NOTIFY historyChanged)
    Q_PROPERTY(bool canRedo READ canRedo NOTIFY historyChanged)
    // The output rectangle in canvas units; a null rectangle when the picture is not cropped.
    Q_PROPERTY(QRectF cropRect READ cropRect NOTIFY cropChanged)

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

    // Edits: each is one step of the history, and a new one drops the redo steps.
    void add(const Annotation &record);
    /// Adds an image record with the smaller copy of its image that the canvas shows.
    void addImage(const Annotation &record, const QImage &display);
    /// Changes the record with `id` in place; false when there is none. A change that
    /// leaves the record as it was is no step.
    bool update(const QUuid &id, const std::function<void(Annotation &)> &change);
    /// Typing in the text box `id`: the text of one editing session (from the first key to
    /// endTextSession) is one step, folded into the box's addition when it was just added.
    bool editText(const QUuid &id, const QString &text);
    /// The editing session of a text box is over: the next key starts a step of its own.
    void endTextSession() { m_textSession.reset(); }
    /// Shows the record `shown.id` as `shown` while a drag goes on, with no step; false when
    /// there is no such record. finishShowing makes the whole drag one step.
    bool show(const Annotation &shown);
    /// The drag that started from `before` is over: one step from it to the record as shown.
    void finishShowing(const Annotation &before);
    /// Removes the record `id` (Delete); false when there is none.
    bool remove(const QUuid &id);
    /// Removes the text records with no text but whitespace.
    void removeBlankTexts();
    /// Removes the record `id` if it is a blank text.
    void removeIfBlankText(const QUuid &id);
    /// Removes every record, as one step; the selection is left as it is, naming nothing.
    void clear();
    /// "Revert to Original": removes every record and the crop, as one step; nothing when
    /// there is neither.
    void revert();
    /// Holds `records` (each image record with the copy of its image the canvas shows, by
    /// id) and `crop` from now on, in place of everything, with no history: the edits a
    /// capture was saved or left with, taken up again.
    void load(const QList<Annotation> &records, const QHash<QUuid, QImage> &displays,
              std::optional<QRectF> crop);
    /// Whether there is any record or a crop.
    bool isEmpty() const { return m_records.count() == 0 && !m_crop; }
    /// Takes back the newest edit; false when there is none.
    bool undo();
    /// Makes the newest undone edit again; false when there is none.
    bool redo();
    /// The rectangle the saved picture is cut to, in canvas units; none: the whole picture.
    std::optional<QRectF> crop() const { return m_crop; }
    QRectF cropRect() const { return m_crop.value_or(QRectF()); }
    /// Sets the crop as one step ("Reset Crop" sets none); an empty rectangle is refused.
    void setCrop(std::optional<QRectF> crop);
    /// Shows `crop` while its drag goes on, with no step; finishCrop makes the drag one step.
    void showCrop(std::optional<QRectF> crop);
    void finishCrop(std::optional<QRectF> before);
    bool canUndo() const { return m_history.canUndo(); }
    bool canRedo() const { return m_history.canRedo(); }

Q_SIGNALS:
    void drawingChanged();
    void selectionChanged();
    void historyChanged();
    void cropChanged();

private:
    void push(EditStep step);
    /// Applies `step` forwards or backwards; false, changing nothing, when it no longer
    /// applies to the list as it is.
    bool apply(const EditStep &step, bool forwards);
    void insertRows(const QList<EditStep::Row> &rows);
    void removeRows(const QList<EditStep::Row> &rows);
    void replace(const Annotation &record);
    /// Numbers the steps 1, 2, 3 ... in list order, after any change of the list.
    void renumberSteps();

    AnnotationListModel m_records;
    std::optional<Annotation> m_drawing;
    std::optional<QUuid> m_selection;
    EditHistory m_history;
    std::optional<QRectF> m_crop;
    std::optional<QUuid> m_textSession; // the text box whose typing the newest step holds
};
