#include "DrawingLayer.h"

#include "EditorState.h"
#include "editor/render/ShapePaths.h"

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

void clear(QImage &image, const QRect &rect)
{
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect, Qt::transparent);
}

} // namespace

QTransform DrawingLayer::Target::deviceTransform() const
{
    return CanvasGeometry::canvasTransform(view) * QTransform::fromScale(ratio, ratio);
}

DrawingLayer::DrawingLayer(QQuickItem *parent) : QQuickItem(parent)
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

void DrawingLayer::setEditor(EditorState *editor)
{
    if (m_editor == editor)
        return;
    if (m_editor) {
        disconnect(m_editor->document(), nullptr, this, nullptr);
        disconnect(m_editor->document()->records(), nullptr, this, nullptr);
        disconnect(m_editor->viewport(), nullptr, this, nullptr);
    }
    m_editor = editor;
    if (m_editor) {
        AnnotationListModel *list = m_editor->document()->records();
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
        connect(m_editor->document(), &AnnotationDocument::drawingChanged, this,
                &DrawingLayer::scheduleRender);
        connect(m_editor->viewport(), &CanvasViewport::placementChanged, this,
                &DrawingLayer::scheduleRender);
        connect(m_editor->viewport(), &CanvasViewport::viewSizeChanged, this,
                &DrawingLayer::scheduleRender);
    }
    invalidateCommitted();
    m_liveInvalid = true;
    Q_EMIT editorChanged();
}

bool DrawingLayer::isSettled() const
{
    if (!m_editor || !window())
        return true;
    const qreal ratio = window()->effectiveDevicePixelRatio();
    return m_worker.isFinished() && !m_committedInvalid &&
           m_committedTarget.view == m_editor->viewport()->view() &&
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
    const QList<Annotation> &records = m_editor->document()->list();
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
    if (!m_editor || !window())
        return;
    const qreal ratio = window()->effectiveDevicePixelRatio();
    Target target;
    target.view = m_editor->viewport()->view();
    target.ratio = ratio;
    target.pixels = QSize(int(std::ceil(width() * ratio)), int(std::ceil(height() * ratio)));
    if (!(target == m_target)) {
        if (target.pixels != m_live.size()) {
            m_live = QImage(target.pixels, QImage::Format_ARGB32_Premultiplied);
            m_live.fill(Qt::transparent);
            m_liveBounds = {};
        }
        m_target = target;
        m_liveInvalid = true;
    }
    if (m_target.pixels.isEmpty())
        return;
    renderCommitted();
    renderLive();
}

void DrawingLayer::renderCommitted()
{
    const QList<Annotation> &records = m_editor->document()->list();
    if (m_committedInvalid || m_committed.isNull()) {
        // What is shown must never hold a removed or changed stroke: render now.
        m_committed = renderRecords(records, m_target);
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
    const QList<Annotation> &records = m_editor->document()->list();
    if (m_drawnRows >= records.size())
        return;
    QPainter painter(&m_committed);
    painter.setRenderHint(QPainter::Antialiasing);
    for (qsizetype row = m_drawnRows; row < records.size(); ++row) {
        const Annotation &record = records.at(row);
        // The stroke just finished is already in the live picture, exactly as shown.
        const bool inLive = record.id == m_liveId && !m_liveInvalid &&
                            m_livePainted == record.points.size() && m_committedTarget == m_target;
        if (inLive) {
            painter.resetTransform();
            painter.setOpacity(m_liveOpacity);
            painter.drawImage(m_liveBounds.topLeft(), m_live, m_liveBounds);
            painter.setOpacity(1);
        } else {
            painter.setTransform(m_committedTarget.deviceTransform());
            paintRecord(painter, record, 0, false, m_committedTarget);
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
    const QList<Annotation> records = m_editor->document()->list();
    m_workerTarget = m_target;
    m_workerVersion = m_listVersion;
    m_workerRows = int(records.size());
    const Target target = m_target;
    m_worker.setFuture(
        QtConcurrent::run([records, target] { return renderRecords(records, target); }));
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

QImage DrawingLayer::renderRecords(const QList<Annotation> &records, const Target &target)
{
    QImage image(target.pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(target.deviceTransform());
    for (const Annotation &record : records)
        paintRecord(painter, record, 0, false, target);
    return image;
}

QRect DrawingLayer::paintRecord(QPainter &painter, const Annotation &annotation,
                                qsizetype fromPoint, bool opaque, const Target &target)
{
    if (!ShapePaths::isShape(annotation.type) || annotation.points.isEmpty())
        return {};
    Annotation part = annotation;
    if (fromPoint > 0)
        part.points = annotation.points.mid(fromPoint);
    const QPainterPath path = ShapePaths::shapePath(part);
    QPen pen = ShapePaths::shapePen(annotation, ShapePaths::ShapeTarget::screen);
    if (opaque) {
        QColor color = pen.color();
        color.setAlphaF(1);
        pen.setColor(color);
    }
    // Everything the stroke can reach: half the width, and the corners of a box's miter.
    const double reach = annotation.lineWidth * target.view.scale() * target.ratio + 2;
    const QRectF bounds = painter.transform()
                              .mapRect(path.controlPointRect())
                              .adjusted(-reach, -reach, reach, reach)
                              .intersected(QRectF(QPointF(0, 0), QSizeF(target.pixels)));
    if (bounds.isEmpty())
        return {};
    painter.strokePath(path, pen);
    return bounds.toAlignedRect();
}

void DrawingLayer::renderLive()
{
    const std::optional<Annotation> &current = m_editor->document()->drawing();
    const bool extends = current && !m_liveInvalid && current->id == m_liveId &&
                         current->type == DrawingTool::Pen &&
                         current->points.size() >= m_livePainted && m_livePainted > 0;
    if (extends && current->points.size() == m_livePainted)
        return;
    if (!current && m_liveId.isNull() && !m_liveInvalid)
        return;

    if (!extends && !m_liveBounds.isEmpty()) {
        clear(m_live, m_liveBounds);
        m_liveBounds = {};
    }
    m_liveInvalid = false;
    m_liveTextureStale = true;
    if (!current) {
        m_liveId = {};
        m_livePainted = 0;
        return;
    }
    QPainter painter(&m_live);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(m_target.deviceTransform());
    // A new pen sample adds the segment from the last painted point; its round caps make
    // the same round join the whole polyline would have.
    const qsizetype from = extends ? m_livePainted - 1 : 0;
    m_liveBounds |= paintRecord(painter, *current, from, true, m_target);
    m_liveId = current->id;
    m_livePainted = current->points.size();
    m_liveOpacity = current->color.alphaF();
}

QSGNode *DrawingLayer::updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *)
{
    auto *node = static_cast<LayerNode *>(oldNode);
    if (m_committed.isNull() || m_live.isNull() || m_target.pixels.isEmpty() || !m_editor) {
        delete node;
        return nullptr;
    }
    if (!node) {
        node = new LayerNode(window());
        m_committedTextureStale = true;
        // Every image node needs a texture, even one left out of the frame.
        replaceTexture(window(), node->live, node->liveTexture, m_live);
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
    const bool hasLive = !m_liveId.isNull() && !m_liveBounds.isEmpty();
    if (m_liveTextureStale && hasLive) {
        replaceTexture(window(), node->live, node->liveTexture, m_live);
        m_liveTextureStale = false;
    }
    node->live->setRect(QRectF(0, 0, m_target.pixels.width() / m_target.ratio,
                               m_target.pixels.height() / m_target.ratio));
    // Nothing being drawn: the live picture is left out of the frame altogether.
    node->opacity->setOpacity(hasLive ? m_liveOpacity : 0);
    return node;
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
