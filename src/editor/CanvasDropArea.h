#pragma once

#include "ImageIntake.h"

#include <QPointer>
#include <QQuickItem>
#include <QtQml/qqmlregistration.h>

class EditorState;

/**
 * Takes pictures dropped on the canvas area: image files (as a file manager drags them) and
 * image data. A drag is accepted only when something in it reads as an image (judged once,
 * as it enters, from the headers), and so is its drop. What read as an image is copied as the
 * drag enters (the drag's data is gone after the drop) and handed to the editor at the drop,
 * with the drop's area position. A drop is only ever taken as a copy. Lies over the whole
 * canvas area in EditorView.qml.
 */
class CanvasDropArea : public QQuickItem
{
    Q_OBJECT
    QML_ELEMENT
    Q_MOC_INCLUDE("editor/EditorState.h")
    Q_PROPERTY(EditorState *editor READ editor WRITE setEditor NOTIFY editorChanged)

public:
    explicit CanvasDropArea(QQuickItem *parent = nullptr);

    EditorState *editor() const { return m_editor; }
    void setEditor(EditorState *editor);

Q_SIGNALS:
    void editorChanged();

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    bool takesDrops() const;
    static bool acceptAsCopy(QDropEvent *event);
    static void refuse(QDropEvent *event);
    static QList<ImageIntake::Source> readableSources(const QMimeData &mime);

    QPointer<EditorState> m_editor;
    bool m_dragAcceptable = false;
    QList<ImageIntake::Source> m_enteredSources; // copied as the current drag entered
};
