#include "DrawingLayer.h"

#include "EditorSession.h"
#include "EditorState.h"
#include "editor/render/ShapePaths.h"
#include "editor/render/ShapeRaster.h"

#include <QPainter>
#include <QQuickWindow>
#include <QSGImageNode>
#include <QSGOpacityNode>
#include <QSGTexture>
#include <QtConcurrent/QtConcurrentRun>

#include <cmath>
#include <memory>

namespace {

/** The layer's nodes: the committed picture, and over it the live one at its opacity. */
class LayerNode : public QSGNode
{
public:
    explicit LayerNode(QQuickWindow *window)
        : committed(window->createImageNode()), opacity(new QSGOpacityNode),
          live(window->createImageNode())
    {
        committed->setOwnsTexture(false);
        live->setOwnsTexture(false);
        appendChildNode(committed);
        appendChildNode(opacity);
        opacity->appendChildNode(live);
    }

    QSGImageNode *committed;
    QSGOpacityNode *opacity;
    QSGImageNode *live;
    std::unique_ptr<QSGTexture> committedTexture;
    std::unique_ptr<QSGTexture> liveTexture;
};

void replaceTexture(QQuickWindow *window, QSGImageNode *node, std::unique_ptr<QSGTexture> &held,
                    const QImage &image)
{
    std::unique_ptr<QSGTexture> texture(window->createTextureFromImage(image));
    node->setTexture(texture.get());
    held = std::move(texture);
}

} // namespace

DrawingLayer::DrawingLayer(QQuickItem *parent) : EditorCanvasItem(parent)
{
    setFlag(ItemHasContents, true);
    connect(&m_worker, &QFutureWatcher<QImage>::finished, this,
            &DrawingLayer::backgroundRenderDone);
}

DrawingLayer::~DrawingLayer()
{
    // The worker holds copies only; its result is simply not wanted any more.
    m_worker.disconnect(this);
}

void DrawingLayer::editorReplaced(EditorState *old)
{
    if (old) {
        disconnect(old->document(), nullptr, this, nullptr);
        disconnect(old->document()->records(), nullptr, this, nullptr);
        disconnect(old->viewport(), nullptr, this, nullptr);
    }
    if (editor()) {
        AnnotationListModel *list = editor()->document()->records();
        connect(list, &QAbstractItemModel::rowsAboutToBeRemoved, this,
                [this](const QModelIndex &, int first, int last) {
                    rowsAboutToBeRemoved(first, last);
                });
        connect(list, &QAbstractItemModel::rowsInserted, this,
                [this](const QModelIndex &, int first, int last) { rowsInserted(first, last); });
        connect(list, &QAbstractItemModel::dataChanged, this,
                [this](const QModelIndex &top, const QModelIndex &bottom) {
                    rowsChanged(top.row(), bottom.row());
                });
        connect(list, &QAbstractItemModel::modelReset, this, &DrawingLayer::invalidateCommitted);
        connect(list, &QAbstractItemModel::layoutChanged, this, &DrawingLayer::invalidateCommitted);
        connect(editor()->document(), &AnnotationDocument::drawingChanged, this,
                &DrawingLayer::scheduleRender);
        connect(editor()->viewport(), &CanvasViewport::placementChanged, this,
                &DrawingLayer::scheduleRender);
        connect(editor()->viewport(), &CanvasViewport::viewSizeChanged, this,
                &DrawingLayer::scheduleRender);
    }
    invalidateCommitted();
    m_live.invalidate();
}

bool DrawingLayer::isSettled() const
{
    if (!editor() || !window())
        return true;
    const qreal ratio = window()->effectiveDevicePixelRatio();
    return m_worker.isFinished() && !m_committedInvalid &&
           m_committedTarget.view == editor()->viewport()->view() &&
           m_committedTarget.ratio == ratio &&
           m_committedTarget.pixels ==
               QSize(int(std::ceil(width() * ratio)), int(std::ceil(height() * ratio)));
}

void DrawingLayer::scheduleRender()
{
    polish();
    update();
}

void DrawingLayer::invalidateCommitted()
{
    m_committedInvalid = true;
    ++m_listVersion;
    scheduleRender();
}

bool DrawingLayer::anyShapeIn(int first, int last) const
{
    const QList<Annotation> &records = editor()->document()->list();
    for (int row = std::max(first, 0); row <= last && row < records.size(); ++row) {
        if (ShapePaths::isShape(records.at(row).type))
            return true;
    }
    return false;
}

void DrawingLayer::rowsAboutToBeRemoved(int first, int last)
{
    ++m_listVersion;
    // Only shapes already in the picture change it; text and images leave it as it is.
    if (first < m_drawnRows && anyShapeIn(first, std::min(last, m_drawnRows - 1)))
        m_committedInvalid = true;
    else if (first < m_drawnRows)
        m_drawnRows -= std::min(last, m_drawnRows - 1) - first + 1;
    scheduleRender();
}

void DrawingLayer::rowsInserted(int first, int last)
{
    // Rows at or past m_drawnRows are drawn on top by the next render; an insertion among
    // the drawn rows changes the picture below the top only if it adds a shape.
    if (first < m_drawnRows) {
        ++m_listVersion;
        if (anyShapeIn(first, last))
            m_committedInvalid = true;
        else
            m_drawnRows += last - first + 1;
    }
    scheduleRender();
}

void DrawingLayer::rowsChanged(int first, int last)
{
    // Typing in a text box changes its row at every key: nothing to draw for it.
    if (anyShapeIn(first, last)) {
        ++m_listVersion;
        if (first < m_drawnRows)
            m_committedInvalid = true;
        scheduleRender();
    }
}

void DrawingLayer::geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry)
{
    QQuickItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.size() != oldGeometry.size())
        scheduleRender();
}

void DrawingLayer::itemChange(ItemChange change, const ItemChangeData &value)
{
    QQuickItem::itemChange(change, value);
    if (change == ItemDevicePixelRatioHasChanged || change == ItemSceneChange)
        scheduleRender();
}

void DrawingLayer::updatePolish()
{
    if (!editor() || !window())
        return;
    const qreal ratio = window()->effectiveDevicePixelRatio();
    RasterTarget target;
    target.view = editor()->viewport()->view();
    target.ratio = ratio;
    target.pixels = QSize(int(std::ceil(width() * ratio)), int(std::ceil(height() * ratio)));
    m_target = target;
    m_live.retarget(target);
    if (m_target.pixels.isEmpty())
        return;
    renderCommitted();
    if (m_live.update(editor()->document()->drawing(), redactionSource()))
        m_liveTextureStale = true;
}

void DrawingLayer::renderCommitted()
{
    const QList<Annotation> &records = editor()->document()->list();
    if (m_committedInvalid || m_committed.isNull()) {
        // What is shown must never hold a removed or changed stroke: render now.
        m_committed = ShapeRaster::render(records, m_target, redactionSource());
        m_committedTarget = m_target;
        m_drawnRows = int(records.size());
        m_committedInvalid = false;
        m_committedTextureStale = true;
        return;
    }
    appendRows();
    if (!(m_committedTarget == m_target))
        startBackgroundRender();
}

void DrawingLayer::appendRows()
{
    const QList<Annotation> &records = editor()->document()->list();
    if (m_drawnRows >= records.size())
        return;
    QPainter painter(&m_committed);
    painter.setRenderHint(QPainter::Antialiasing);
    const RedactionSource source = redactionSource();
    for (qsizetype row = m_drawnRows; row < records.size(); ++row) {
        const Annotation &record = records.at(row);
        // The stroke just finished is already in the live picture, exactly as shown.
        if (m_live.holds(record, m_committedTarget)) {
            painter.resetTransform();
            m_live.drawOnto(painter);
        } else {
            painter.setTransform(m_committedTarget.deviceTransform());
            ShapeRaster::paint(painter, record, 0, false, m_committedTarget, source);
        }
    }
    m_drawnRows = int(records.size());
    m_committedTextureStale = true;
}

void DrawingLayer::startBackgroundRender()
{
    // One render at a time; when it lands, the next polish asks again if the view has
    // moved on meanwhile.
    if (!m_worker.isFinished())
        return;
    const QList<Annotation> records = editor()->document()->list();
    m_workerTarget = m_target;
    m_workerVersion = m_listVersion;
    m_workerRows = int(records.size());
    const RasterTarget target = m_target;
    const RedactionSource source = redactionSource();
    m_worker.setFuture(QtConcurrent::run(
        [records, target, source] { return ShapeRaster::render(records, target, source); }));
}

void DrawingLayer::backgroundRenderDone()
{
    if (m_workerVersion != m_listVersion || m_committedInvalid) {
        scheduleRender();
        return;
    }
    m_committed = m_worker.result();
    m_committedTarget = m_workerTarget;
    m_drawnRows = m_workerRows;
    m_committedTextureStale = true;
    scheduleRender();
    if (m_committedTarget == m_target)
        Q_EMIT settled();
}

QSGNode *DrawingLayer::updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *)
{
    auto *node = static_cast<LayerNode *>(oldNode);
    if (m_committed.isNull() || m_live.image().isNull() || m_target.pixels.isEmpty() || !editor()) {
        delete node;
        return nullptr;
    }
    if (!node) {
        node = new LayerNode(window());
        m_committedTextureStale = true;
        // Every image node needs a texture, even one left out of the frame.
        replaceTexture(window(), node->live, node->liveTexture, m_live.image());
        m_liveTextureStale = false;
    }
    if (m_committedTextureStale) {
        replaceTexture(window(), node->committed, node->committedTexture, m_committed);
        m_committedTextureStale = false;
    }
    // A picture made for another view is shown moved and scaled to where it belongs now;
    // the two placements differ by a scale and a shift only.
    const QTransform pictureToItem = m_committedTarget.deviceTransform().inverted() *
                                     CanvasGeometry::canvasTransform(m_target.view);
    node->committed->setRect(pictureToItem.mapRect(QRectF(QPointF(0, 0), m_committed.size())));
    const bool hasLive = m_live.isShowing();
    if (m_liveTextureStale && hasLive) {
        replaceTexture(window(), node->live, node->liveTexture, m_live.image());
        m_liveTextureStale = false;
    }
    node->live->setRect(QRectF(0, 0, m_target.pixels.width() / m_target.ratio,
                               m_target.pixels.height() / m_target.ratio));
    // Nothing being drawn: the live picture is left out of the frame altogether.
    node->opacity->setOpacity(hasLive ? m_live.opacity() : 0);
    return node;
}

RedactionSource DrawingLayer::redactionSource() const
{
    RedactionSource source;
    const EditorState *state = editor();
    if (!state || !state->session())
        return source;
    source.capture = state->session()->image();
    source.canvasSize = state->viewport()->viewSize();
    source.hidden = Redaction::hiddenRects(state->document()->list(), source);
    return source;
}

void DrawingLayer::paintAll(QPainter &painter, const EditorState &editor)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(CanvasGeometry::canvasTransform(editor.viewport()->view()), true);
    for (const Annotation &record : editor.document()->list())
        ShapePaths::paintShape(painter, record);
    if (editor.document()->drawing())
        ShapePaths::paintShape(painter, *editor.document()->drawing());
}
