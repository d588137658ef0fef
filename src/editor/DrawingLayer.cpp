#include "DrawingLayer.h"

#include "EditorState.h"
#include "ShapePaths.h"

#include <QPainter>
#include <QQuickWindow>
#include <QSGImageNode>
#include <QSGOpacityNode>
#include <QSGTexture>

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

DrawingLayer::DrawingLayer(QQuickItem *parent) : QQuickItem(parent)
{
    setFlag(ItemHasContents, true);
}

DrawingLayer::~DrawingLayer() = default;

void DrawingLayer::setEditor(EditorState *editor)
{
    if (m_editor == editor)
        return;
    if (m_editor) {
        disconnect(m_editor, nullptr, this, nullptr);
        disconnect(m_editor->annotations(), nullptr, this, nullptr);
    }
    m_editor = editor;
    if (m_editor) {
        AnnotationListModel *list = m_editor->annotations();
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
        connect(m_editor, &EditorState::currentAnnotationChanged, this,
                &DrawingLayer::scheduleRender);
        connect(m_editor, &EditorState::canvasPlacementChanged, this,
                &DrawingLayer::scheduleRender);
        connect(m_editor, &EditorState::viewSizeChanged, this, &DrawingLayer::scheduleRender);
    }
    invalidateCommitted();
    m_liveInvalid = true;
    Q_EMIT editorChanged();
}

void DrawingLayer::scheduleRender()
{
    polish();
    update();
}

void DrawingLayer::invalidateCommitted()
{
    m_committedInvalid = true;
    scheduleRender();
}

bool DrawingLayer::anyShapeIn(int first, int last) const
{
    const QList<Annotation> &records = m_editor->annotations()->records();
    for (int row = std::max(first, 0); row <= last && row < records.size(); ++row) {
        if (ShapePaths::isShape(records.at(row).type))
            return true;
    }
    return false;
}

void DrawingLayer::rowsAboutToBeRemoved(int first, int last)
{
    // Only shapes already in the picture change it; text and images leave it as it is.
    if (first < m_drawnRows && anyShapeIn(first, std::min(last, m_drawnRows - 1)))
        m_committedInvalid = true;
    else if (first < m_drawnRows)
        m_drawnRows -= std::min(last, m_drawnRows - 1) - first + 1;
    scheduleRender();
}

void DrawingLayer::rowsInserted(int first, int last)
{
    // Rows at or past m_drawnRows are drawn on top by the next render; an insertion among the
    // drawn rows changes the picture below the top only if it adds a shape.
    if (first < m_drawnRows) {
        if (anyShapeIn(first, last))
            m_committedInvalid = true;
        else
            m_drawnRows += last - first + 1;
    }
    scheduleRender();
}

void DrawingLayer::rowsChanged(int first, int last)
{
    // Typing in a text box changes its row at every key: no need to draw anything for it.
    if (first < m_drawnRows && anyShapeIn(first, std::min(last, m_drawnRows - 1))) {
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

QTransform DrawingLayer::deviceTransform() const
{
    return CanvasGeometry::canvasTransform(m_renderedView) *
           QTransform::fromScale(m_renderedRatio, m_renderedRatio);
}

void DrawingLayer::updatePolish()
{
    if (!m_editor || !window())
        return;
    const qreal ratio = window()->effectiveDevicePixelRatio();
    const QSize pixelSize(int(std::ceil(width() * ratio)), int(std::ceil(height() * ratio)));
    const CanvasGeometry::View view = m_editor->canvasView();
    if (pixelSize != m_pixelSize || ratio != m_renderedRatio || !(view == m_renderedView)) {
        if (pixelSize != m_pixelSize) {
            m_committed = QImage(pixelSize, QImage::Format_ARGB32_Premultiplied);
            m_live = QImage(pixelSize, QImage::Format_ARGB32_Premultiplied);
            m_live.fill(Qt::transparent);
            m_liveBounds = {};
        }
        m_pixelSize = pixelSize;
        m_renderedRatio = ratio;
        m_renderedView = view;
        m_committedInvalid = true;
        m_liveInvalid = true;
    }
    if (m_pixelSize.isEmpty())
        return;
    renderCommitted();
    renderLive();
}

QRect DrawingLayer::paintRecord(QPainter &painter, const Annotation &annotation,
                                qsizetype fromPoint, bool opaque)
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
    const QTransform transform = painter.transform();
    const double reach = annotation.lineWidth * m_renderedView.scale() * m_renderedRatio + 2;
    const QRectF bounds = transform.mapRect(path.controlPointRect())
                              .adjusted(-reach, -reach, reach, reach)
                              .intersected(QRectF(QPointF(0, 0), QSizeF(m_pixelSize)));
    if (bounds.isEmpty())
        return {};
    painter.strokePath(path, pen);
    return bounds.toAlignedRect();
}

void DrawingLayer::renderCommitted()
{
    const QList<Annotation> &records = m_editor->annotations()->records();
    if (!m_committedInvalid && m_drawnRows >= records.size())
        return;
    QPainter painter(&m_committed);
    if (m_committedInvalid) {
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(m_committed.rect(), Qt::transparent);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        m_drawnRows = 0;
        m_committedInvalid = false;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(deviceTransform());
    for (qsizetype row = m_drawnRows; row < records.size(); ++row)
        paintRecord(painter, records.at(row), 0, false);
    m_drawnRows = int(records.size());
    m_committedTextureStale = true;
}

void DrawingLayer::renderLive()
{
    const std::optional<Annotation> &current = m_editor->currentAnnotation();
    const bool extends = current && !m_liveInvalid && current->id == m_liveId &&
                         current->type == DrawingTool::pen &&
                         current->points.size() >= m_livePainted && m_livePainted > 0;
    if (extends && current->points.size() == m_livePainted)
        return;
    if (!current && m_liveId.isNull() && !m_liveInvalid)
        return;

    QPainter painter(&m_live);
    if (!extends && !m_liveBounds.isEmpty()) {
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(m_liveBounds, Qt::transparent);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        m_liveBounds = {};
    }
    m_liveInvalid = false;
    m_liveTextureStale = true;
    if (!current) {
        m_liveId = {};
        m_livePainted = 0;
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(deviceTransform());
    // A new pen sample adds the segment from the last painted point; its round caps make
    // the same round join the whole polyline would have.
    const qsizetype from = extends ? m_livePainted - 1 : 0;
    m_liveBounds |= paintRecord(painter, *current, from, true);
    m_liveId = current->id;
    m_livePainted = current->points.size();
    m_liveOpacity = current->color.alphaF();
}

QSGNode *DrawingLayer::updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *)
{
    auto *node = static_cast<LayerNode *>(oldNode);
    if (m_committed.isNull() || m_pixelSize.isEmpty() || !m_editor) {
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
    const QRectF rect(0, 0, width(), height());
    if (m_committedTextureStale) {
        replaceTexture(window(), node->committed, node->committedTexture, m_committed);
        m_committedTextureStale = false;
    }
    node->committed->setRect(rect);
    const bool hasLive = !m_liveId.isNull() && !m_liveBounds.isEmpty();
    if (m_liveTextureStale && hasLive) {
        replaceTexture(window(), node->live, node->liveTexture, m_live);
        m_liveTextureStale = false;
    }
    node->live->setRect(rect);
    // Nothing being drawn: the live picture is left out of the frame altogether.
    node->opacity->setOpacity(hasLive ? m_liveOpacity : 0);
    return node;
}

void DrawingLayer::paintAll(QPainter &painter, const EditorState &editor)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(CanvasGeometry::canvasTransform(editor.canvasView()), true);
    for (const Annotation &record : editor.annotations()->records())
        ShapePaths::paintShape(painter, record);
    if (editor.currentAnnotation())
        ShapePaths::paintShape(painter, *editor.currentAnnotation());
}
