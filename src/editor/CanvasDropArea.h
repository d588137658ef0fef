#pragma once

#include "EditorCanvasItem.h"
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
class CanvasDropArea : public EditorCanvasItem
{
    Q_OBJECT
    QML_ELEMENT

public:
    explicit CanvasDropArea(QQuickItem *parent = nullptr);

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

    bool m_dragAcceptable = false;
    QList<ImageIntake::Source> m_enteredSources; // copied as the current drag entered
};
