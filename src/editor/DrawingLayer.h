#pragma once

#include "EditorCanvasItem.h"
#include "editor/render/ShapeRaster.h"

#include <QFutureWatcher>
#include <QHash>
#include <QImage>
#include <QPointer>
#include <QQuickItem>
#include <QRegion>
#include <QSet>
#include <QUuid>
#include <QtQml/qqmlregistration.h>

struct Annotation;
class EditorState;
class QPainter;

/**
 * The transparent layer over the capture that shows the shape annotations (pen, box, line,
 * arrow, ellipse, highlighter, step, redaction) of an editor: committed records in list order, the
 * record being drawn on top. Text and image records have views of their own under the layer;
 * the layer clears what the records before one drew where its view is opaque, so the screen
 * stacks them in the list's order as the export does. Fills the canvas area in EditorView.qml
 * and takes no input.
 *
 * Drawing a stroke must not cost more per sample as the stroke or the list grows, and zoom
 * and pan must not wait for every record to be stroked again:
 * - The committed records live in one picture. A record appended at the end is drawn onto
 *   it alone (the stroke just finished is copied from the live picture). Removing,
 *   inserting or changing a drawn shape (a Select drag, a restyle, Delete, Undo) renders
 *   again only the pixels it covered and covers now, with every record that reaches them,
 *   in order; a redaction adds the mosaics that read the pixels around it.
 * - After a zoom, pan or resize the old picture is shown moved and scaled to its new place
 *   while the exact one is rendered on a worker thread from a copy of the list.
 * - The record being drawn lives in a second picture (LiveStroke) that each pen sample
 *   extends by its new segment.
 * - While one drawn shape changes again and again (a Select drag, a resize), the records
 *   below it and those above it are kept in pictures of their own, made on a worker from
 *   the moment it is selected or first changes, and the pixels it leaves and takes are
 *   made from them and it alone; where a text or image view above it is met, the records
 *   above are drawn there one by one instead, so that the clearing under the view comes
 *   out as a whole render's.
 * - Each picture is shown as tiles, and only the tiles a change touched take new
 *   textures or are placed again, so a frame neither uploads nor repaints the whole canvas
 *   for a small change.
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
    void selectionChanged();
    bool anyDrawnIn(int first, int last) const;
    /// The drawn shape at `row` has changed or is about to go: what it covered, and (once
    /// the change is made) what it covers then, are rendered again.
    void markRow(int row, bool stays);
    void markById(const QUuid &id);
    void renderCommitted();
    void startSplitRender();
    void splitRenderDone();
    void dropPendingSplit();
    void enterSplit();
    void repaintChanging();
    void leaveSplit();
    bool isSplit() const { return !m_splitId.isNull(); }
    void renderAll();
    void repaintMarked();
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
    QRegion m_committedDirty;       // pixels of m_committed whose textures are out of date
    bool m_committedResized = true;
    QHash<QUuid, QRegion> m_bounds; // each drawn record's device pixels in m_committed
    QRegion m_repaint;              // pixels of m_committed to render again
    QSet<QUuid> m_marked;           // shapes whose new pixels join m_repaint
    bool m_redactionMarked = false;

    // The split around one changing shape: m_below holds the records below it, m_above
    // those above it; m_committed stays every record.
    QUuid m_lastChanged; // the shape the newest change was of
    QUuid m_splitId;
    bool m_wantSplit = false;
    bool m_changingStale = false;
    QImage m_below;
    QImage m_above;
    QRegion m_changingPainted; // the pixels of m_committed the shape is in

    /** The pictures below and above one shape, rendered on the worker. */
    struct SplitPictures
    {
        QImage below;
        QImage above;
    };
    static SplitPictures renderSplit(const QList<Annotation> &records, qsizetype row,
                                     const RasterTarget &target, const RedactionSource &source);
    // The split pictures are made on a worker from the shape's first change on, while the
    // changes are drawn in place; from the first change after they have come, the split is
    // used. Any change of another record, or of the view, throws them away.
    bool m_wantSplitRender = false;
    QUuid m_splitPendingId; // the shape the worker renders the pictures around
    quint64 m_splitGeneration = 0;
    quint64 m_splitWorkerGeneration = 0;
    RasterTarget m_splitTarget;
    QFutureWatcher<SplitPictures> m_splitWorker;
    QUuid m_splitReadyId; // the shape m_readyBelow and m_readyAbove are around
    SplitPictures m_ready;

    /** A picture rendered on the worker, with the pixels of each shape in it. */
    struct Rendered
    {
        QImage picture;
        QHash<QUuid, QRegion> bounds;
    };
    static Rendered renderWithBounds(const QList<Annotation> &records, const RasterTarget &target,
                                     const RedactionSource &source);

    QFutureWatcher<Rendered> m_worker;
    RasterTarget m_workerTarget;
    quint64 m_workerVersion = 0;
    int m_workerRows = 0;

    LiveStroke m_live;
    QRegion m_liveDirty;
    bool m_liveResized = true;
};
