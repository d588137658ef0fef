#pragma once

#include "EditorCanvasItem.h"
#include <QPointer>

#include <QQuickItem>
#include <QtQml/qqmlregistration.h>

#include <memory>

class EditorEventFilter;
class EditorState;

/**
 * The invisible layer that takes the canvas's input and hands it to the editor: presses,
 * drags and releases of the left button (clicks, pan and drawing drags), touchpad pinches,
 * Shift-drags (the region Copy Text reads), and its own size (the canvas area's, whose first layout
 * fixes canvas space). While it is in a shown window it keeps the editor's application-wide key and
 * wheel filter installed. Fills the canvas area in EditorView.qml, under the document group and the
 * drawing layer.
 */
class CanvasInputLayer : public EditorCanvasItem
{
    Q_OBJECT
    QML_ELEMENT

public:
    explicit CanvasInputLayer(QQuickItem *parent = nullptr);
    ~CanvasInputLayer() override;

    /// Whether the key and wheel filter is installed (while the window is shown).
    bool isWatchingEvents() const { return m_filter != nullptr; }

protected:
    void editorReplaced(EditorState *old) override;
    bool event(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseUngrabEvent() override;
    void geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) override;
    void itemChange(ItemChange change, const ItemChangeData &value) override;

private:
    void updateWatch();

    QPointer<QQuickWindow> m_watchedWindow;
    std::unique_ptr<EditorEventFilter> m_filter;
    bool m_pressed = false;
    // The press began with Shift: the drag marks the region Copy Text reads.
    bool m_markingTextRegion = false;
    // A touchpad pinch: its total magnification, and whether it has passed the 0.01 needed
    // to begin.
    double m_pinchMagnification = 1;
    bool m_pinching = false;
};
