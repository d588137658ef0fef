#pragma once

#include "CanvasGeometry.h"

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
 * arrow) of an editor: committed records in list order, the record being drawn on top; text
 * and image records have views of their own. Fills the canvas area in EditorView.qml and
 * takes no input.
 *
 * Drawing a stroke must not cost more per sample as the stroke or the list grows. The
 * committed records are rendered into one picture only when the list, zoom, pan or size
 * change (a record appended at the end is drawn onto it alone), and the record being drawn
 * lives in a second picture that each pen sample extends by its new segment. That record is
 * painted opaque and shown at its colour's opacity, which looks the same as stroking the
 * whole path at that opacity, overlaps included.
 */
class DrawingLayer : public QQuickItem
{
    Q_OBJECT
    QML_ELEMENT
    Q_MOC_INCLUDE("editor/EditorState.h")
    Q_PROPERTY(EditorState *editor READ editor WRITE setEditor NOTIFY editorChanged)

public:
    explicit DrawingLayer(QQuickItem *parent = nullptr);
    ~DrawingLayer() override;

    EditorState *editor() const { return m_editor; }
    void setEditor(EditorState *editor);

    /// Strokes the shape records of `editor` as the layer shows them, committed then the one
    /// being drawn, onto `painter` set up for the canvas area: the whole frame, every time.
    static void paintAll(QPainter &painter, const EditorState &editor);

Q_SIGNALS:
    void editorChanged();

protected:
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
    QTransform deviceTransform() const;
    void renderCommitted();
    void renderLive();
    /// Draws `annotation` with its points from `fromPoint` on; returns the device rectangle
    /// it may have touched.
    QRect paintRecord(QPainter &painter, const Annotation &annotation, qsizetype fromPoint,
                      bool opaque);

    QPointer<EditorState> m_editor;

    // What the pictures were rendered for.
    CanvasGeometry::View m_renderedView;
    qreal m_renderedRatio = 0;
    QSize m_pixelSize;

    QImage m_committed;
    bool m_committedInvalid = true;
    int m_drawnRows = 0; // rows [0, m_drawnRows) are in m_committed
    bool m_committedTextureStale = true;

    QImage m_live;
    QUuid m_liveId;
    qsizetype m_livePainted = 0; // points of the live record already in m_live
    QRect m_liveBounds;
    double m_liveOpacity = 1;
    bool m_liveInvalid = true;
    bool m_liveTextureStale = true;
};
