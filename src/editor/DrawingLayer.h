#pragma once

#include "EditorCanvasItem.h"
#include "editor/render/ShapeRaster.h"

#include <QFutureWatcher>
#include <QImage>
#include <QPointer>
#include <QQuickItem>
#include <QUuid>
#include <QtQml/qqmlregistration.h>

struct Annotation;
class EditorState;
class QPainter;

/**
 * The transparent layer over the capture that shows the shape annotations (pen, box, line,
 * arrow, ellipse, highlighter, step, redaction) of an editor: committed records in list order, the
 * record being drawn on top; text and image records have views of their own. Fills the canvas area
 * in EditorView.qml and takes no input.
 *
 * Drawing a stroke must not cost more per sample as the stroke or the list grows, and zoom
 * and pan must not wait for every record to be stroked again:
 * - The committed records live in one picture. A record appended at the end is drawn onto
 *   it alone (the stroke just finished is copied from the live picture). Removing or
 *   changing a drawn shape renders the picture again at once.
 * - After a zoom, pan or resize the old picture is shown moved and scaled to its new place
 *   while the exact one is rendered on a worker thread from a copy of the list.
 * - The record being drawn lives in a second picture (LiveStroke) that each pen sample
 *   extends by its new segment.
 */
class DrawingLayer : public EditorCanvasItem
{
    Q_OBJECT
    QML_ELEMENT

public:
    explicit DrawingLayer(QQuickItem *parent = nullptr);
    ~DrawingLayer() override;

    /// Whether the committed picture is the exact one for the current zoom, pan and size
    /// (no render pending on the worker).
    bool isSettled() const;

    /// Strokes the shape records of `editor` as the layer shows them, committed then the one
    /// being drawn, onto `painter` set up for the canvas area: the whole frame, every time.
    static void paintAll(QPainter &painter, const EditorState &editor);

Q_SIGNALS:
    /// The exact committed picture for the current view has arrived.
    void settled();

protected:
    void editorReplaced(EditorState *old) override;
    void updatePolish() override;
    QSGNode *updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *) override;
    void geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) override;
    void itemChange(ItemChange change, const ItemChangeData &value) override;

private:
    void scheduleRender();
    void invalidateCommitted();
    void rowsAboutToBeRemoved(int first, int last);
    void rowsInserted(int first, int last);
    void rowsChanged(int first, int last);
    bool anyShapeIn(int first, int last) const;
    void renderCommitted();
    void appendRows();
    void startBackgroundRender();
    void backgroundRenderDone();
    /// The capture under the redactions, as the editor shows it now.
    RedactionSource redactionSource() const;

    RasterTarget m_target; // the current one, as of the last polish

    QImage m_committed;
    RasterTarget m_committedTarget;
    bool m_committedInvalid = true; // a drawn shape changed: render again at once
    int m_drawnRows = 0;            // rows [0, m_drawnRows) are in m_committed
    quint64 m_listVersion = 0;      // bumped by every change other than an append
    bool m_committedTextureStale = true;

    QFutureWatcher<QImage> m_worker;
    RasterTarget m_workerTarget;
    quint64 m_workerVersion = 0;
    int m_workerRows = 0;

    LiveStroke m_live;
    bool m_liveTextureStale = true;
};
