#pragma once

#include "editor/viewport/CanvasGeometry.h"

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
 * arrow) of an editor: committed records in list order, the record being drawn on top; text
 * and image records have views of their own. Fills the canvas area in EditorView.qml and
 * takes no input.
 *
 * Drawing a stroke must not cost more per sample as the stroke or the list grows, and zoom
 * and pan must not wait for every record to be stroked again:
 * - The committed records live in one picture. A record appended at the end is drawn onto
 *   it alone (the stroke just finished is copied from the live picture). Removing or
 *   changing a drawn shape renders the picture again at once.
 * - After a zoom, pan or resize the old picture is shown moved and scaled to its new place
 *   while the exact one is rendered on a worker thread from a copy of the list.
 * - The record being drawn lives in a second picture that each pen sample extends by its new
 *   segment. It is painted opaque and shown at its colour's opacity, which looks the same as
 *   stroking the whole path at that opacity, overlaps included.
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

    /// Whether the committed picture is the exact one for the current zoom, pan and size
    /// (no render pending on the worker).
    bool isSettled() const;

    /// Strokes the shape records of `editor` as the layer shows them, committed then the one
    /// being drawn, onto `painter` set up for the canvas area: the whole frame, every time.
    static void paintAll(QPainter &painter, const EditorState &editor);

Q_SIGNALS:
    void editorChanged();
    /// The exact committed picture for the current view has arrived.
    void settled();

protected:
    void updatePolish() override;
    QSGNode *updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *) override;
    void geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) override;
    void itemChange(ItemChange change, const ItemChangeData &value) override;

private:
    /** What a picture is rendered for: the placement of canvas space and the pixels. */
    struct Target
    {
        CanvasGeometry::View view;
        qreal ratio = 0;
        QSize pixels;
        bool operator==(const Target &other) const = default;
        QTransform deviceTransform() const;
    };

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
    void renderLive();
    static QImage renderRecords(const QList<Annotation> &records, const Target &target);
    /// Strokes `annotation` from point `fromPoint` on; returns the device rectangle it may
    /// have touched.
    static QRect paintRecord(QPainter &painter, const Annotation &annotation, qsizetype fromPoint,
                             bool opaque, const Target &target);

    QPointer<EditorState> m_editor;
    Target m_target; // the current one, as of the last polish

    QImage m_committed;
    Target m_committedTarget;
    bool m_committedInvalid = true; // a drawn shape changed: render again at once
    int m_drawnRows = 0;            // rows [0, m_drawnRows) are in m_committed
    quint64 m_listVersion = 0;      // bumped by every change other than an append
    bool m_committedTextureStale = true;

    QFutureWatcher<QImage> m_worker;
    Target m_workerTarget;
    quint64 m_workerVersion = 0;
    int m_workerRows = 0;

    QImage m_live;
    QUuid m_liveId;
    qsizetype m_livePainted = 0; // points of the live record already in m_live
    QRect m_liveBounds;
    double m_liveOpacity = 1;
    bool m_liveInvalid = true;
    bool m_liveTextureStale = true;
};
