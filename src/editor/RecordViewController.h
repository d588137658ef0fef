#pragma once

#include "editor/document/Annotation.h"
#include "editor/tools/RecordDrag.h"

#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QString>
#include <QtQml/qqmlregistration.h>

#include <functional>
#include <optional>

class EditorState;

/**
 * What the view of one text or image record shares with the others: the editor and the
 * record's id it is given, where the record is shown while it is dragged (`dragPos`,
 * `dragScale`, kept by a RecordDrag), and the write-back into the record. TextBoxController
 * and DroppedImageGesture build on it.
 */
class RecordViewController : public QObject
{
    Q_OBJECT
    QML_ANONYMOUS
    Q_MOC_INCLUDE("editor/EditorState.h")
    Q_PROPERTY(EditorState *editor READ editor WRITE setEditor NOTIFY editorChanged)
    Q_PROPERTY(
        QString annotationId READ annotationId WRITE setAnnotationId NOTIFY annotationIdChanged)
    Q_PROPERTY(QPointF dragPos READ dragPos NOTIFY dragPosChanged)
    Q_PROPERTY(double dragScale READ dragScale NOTIFY dragScaleChanged)

public:
    explicit RecordViewController(QObject *parent = nullptr);

    EditorState *editor() const { return m_editor; }
    void setEditor(EditorState *editor);
    QString annotationId() const { return m_annotationId; }
    void setAnnotationId(const QString &id);
    QPointF dragPos() const { return m_dragPos; }
    double dragScale() const { return m_dragScale; }

Q_SIGNALS:
    void editorChanged();
    void annotationIdChanged();
    void dragPosChanged();
    void dragScaleChanged();

protected:
    /// The record with `annotationId` in the editor's document, or null.
    const Annotation *record() const;
    /// Changes the record in place; nothing once the editor has saved.
    void writeBack(const std::function<void(Annotation &)> &change);
    /// Writes typed text into the record: one undo step per editing session.
    void writeTextBack(const QString &text);
    /// Asks the editor to select the record (only the select tool selects).
    void selectRecord();
    /// Announces where the drag shows the record now, and shows the record there in the
    /// document while the drag lasts (no step: the ended drag is written back as one).
    void showDrag();

    RecordDrag m_drag;

private:
    void restoreShown();

    QPointer<EditorState> m_editor;
    // The record as it was when the drag began, while the document shows it dragged.
    std::optional<Annotation> m_shownFrom;
    QString m_annotationId;
    QPointF m_dragPos{0, 0}; // as last announced
    double m_dragScale = 1;
};
