#include "DrawingLayer.h"

#include "EditorSession.h"
#include "EditorState.h"
#include "editor/render/ShapePaths.h"
#include "editor/render/ShapeRaster.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPointer>
#include <QQuickWindow>
#include <QSGImageNode>
#include <QSGOpacityNode>
#include <QSGTexture>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {

/// The side of the committed picture's tiles, in device pixels.
constexpr int committedTileSide = 256;
/// The live picture changes a little at every pen sample, and the whole of each tile it
/// touched is composed again on screen: its tiles are small.
constexpr int liveTileSide = 64;
/// A change of more rows than this renders the whole picture again.
constexpr int manyRows = 64;

/// The layers' renders run here, not on the global pool: Qt's painter splits a large fill
/// or blend of the UI thread over the global pool's threads and waits for them all, so a
/// long render there would hold up the frame that is being painted.
QThreadPool *renderPool()
{
    // The application owns it, so its threads end while Qt's per-thread data still exists.
    static QPointer<QThreadPool> pool;
    if (!pool)
        pool = new QThreadPool(QCoreApplication::instance());
    return pool;
}

/// A shape whose changes may be drawn from the pictures below and above it: a redaction
/// changes the mosaics beside it, a text or image the clearing under it.
bool isSplittable(DrawingTool type)
{
    return ShapePaths::isShape(type) && type != DrawingTool::Redact;
}

/**
 * A picture shown as tiles, each an image node with a texture of its own: a change takes
 * new textures for the tiles it touched alone.
 */
class TiledPicture
{
public:
    TiledPicture(QSGNode *parent, int side) : m_parent(parent), m_side(side) {}

    /// Shows `image` placed by `pictureToItem`; the tiles meeting `dirty` take new textures,
    /// and all of them when `resized` (the image is another one).
    void sync(QQuickWindow *window, const QImage &image, const QRegion &dirty, bool resized,
              const QTransform &pictureToItem)
    {
        const bool all = resized || image.size() != m_size;
        if (image.size() != m_size)
            rebuild(window, image.size());
        for (Tile &tile : m_tiles) {
            if (all || dirty.intersects(tile.rect)) {
                std::unique_ptr<QSGTexture> texture(
                    window->createTextureFromImage(image.copy(tile.rect)));
                tile.node->setTexture(texture.get());
                tile.texture = std::move(texture);
            }
            // A node joins the tree only with its texture.
            if (!tile.node->parent())
                m_parent->appendChildNode(tile.node);
            // The software renderer repaints a node whose rect is set, even to the same one.
            const QRectF placed = pictureToItem.mapRect(QRectF(tile.rect));
            if (placed != tile.node->rect())
                tile.node->setRect(placed);
        }
    }

private:
    struct Tile
    {
        QRect rect;
        QSGImageNode *node = nullptr; // owned by m_parent
        std::unique_ptr<QSGTexture> texture;
    };

    void rebuild(QQuickWindow *window, QSize size)
    {
        for (Tile &tile : m_tiles) {
            m_parent->removeChildNode(tile.node);
            delete tile.node;
        }
        m_tiles.clear();
        m_size = size;
        for (int y = 0; y < size.height(); y += m_side) {
            for (int x = 0; x < size.width(); x += m_side) {
                Tile tile;
                tile.rect = QRect(x, y, std::min(m_side, size.width() - x),
                                  std::min(m_side, size.height() - y));
                tile.node = window->createImageNode();
                tile.node->setOwnsTexture(false);
                m_tiles.push_back(std::move(tile));
            }
        }
    }

    QSGNode *m_parent;
    int m_side;
    QSize m_size;
    std::vector<Tile> m_tiles;
};

/** The layer's nodes: the committed picture, and over it the live one at its opacity. */
class LayerNode : public QSGNode
{
public:
    LayerNode() : committedGroup(new QSGNode), opacity(new QSGOpacityNode)
    {
        appendChildNode(committedGroup);
        appendChildNode(opacity);
    }
    ~LayerNode() override
    {
        // The tiles' nodes go with their parents; their textures are the pictures' own.
        removeAllChildNodes();
        delete committedGroup;
        delete opacity;
    }

    QSGNode *committedGroup;
    QSGOpacityNode *opacity;
    TiledPicture committed{committedGroup, committedTileSide};
    TiledPicture live{opacity, liveTileSide};
};

} // namespace

DrawingLayer::DrawingLayer(QQuickItem *parent) : EditorCanvasItem(parent)
{
    setFlag(ItemHasContents, true);
    connect(&m_worker, &QFutureWatcher<Rendered>::finished, this,
            &DrawingLayer::backgroundRenderDone);
    connect(&m_splitWorker, &QFutureWatcher<SplitPictures>::finished, this,
            &DrawingLayer::splitRenderDone);
}

DrawingLayer::~DrawingLayer()
{
    // The worker holds copies only; its result is simply not wanted any more.
    m_worker.disconnect(this);
    m_splitWorker.disconnect(this);
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
        connect(editor()->document(), &AnnotationDocument::selectionChanged, this,
                &DrawingLayer::selectionChanged);
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
    return m_worker.isFinished() && m_splitPendingId.isNull() && !m_committedInvalid &&
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
    leaveSplit();
    m_lastChanged = {};
    m_committedInvalid = true;
    ++m_listVersion;
    scheduleRender();
}

bool DrawingLayer::anyDrawnIn(int first, int last) const
{
    const QList<Annotation> &records = editor()->document()->list();
    for (int row = std::max(first, 0); row <= last && row < records.size(); ++row) {
        if (ShapeRaster::isDrawn(records.at(row).type))
            return true;
    }
    return false;
}

void DrawingLayer::markRow(int row, bool stays)
{
    const Annotation &record = editor()->document()->list().at(row);
    if (!ShapeRaster::isDrawn(record.type))
        return;
    const auto held = m_bounds.constFind(record.id);
    if (held != m_bounds.constEnd())
        m_repaint |= *held;
    if (stays)
        m_marked.insert(record.id);
    else
        m_bounds.remove(record.id);
    // The mosaics around a redaction read the pixels it leaves and the ones it takes.
    if (record.type == DrawingTool::Redact)
        m_redactionMarked = true;
}

void DrawingLayer::markById(const QUuid &id)
{
    if (id.isNull() || m_committedInvalid)
        return;
    const QList<Annotation> &records = editor()->document()->list();
    for (qsizetype row = 0; row < records.size() && row < m_drawnRows; ++row) {
        if (records.at(row).id == id) {
            markRow(int(row), true);
            return;
        }
    }
}

void DrawingLayer::rowsAboutToBeRemoved(int first, int last)
{
    leaveSplit();
    m_lastChanged = {};
    ++m_listVersion;
    // Many rows at once (Clear, its Undo): rendering everything again costs no more.
    if (last - first >= manyRows)
        m_committedInvalid = true;
    const int drawnLast = std::min(last, m_drawnRows - 1);
    if (first < m_drawnRows && !m_committedInvalid) {
        for (int row = first; row <= drawnLast; ++row)
            markRow(row, false);
    }
    if (first < m_drawnRows)
        m_drawnRows -= drawnLast - first + 1;
    scheduleRender();
}

void DrawingLayer::rowsInserted(int first, int last)
{
    // Whatever comes is drawn into the one picture of every record.
    leaveSplit();
    m_lastChanged = {};
    // Rows at or past m_drawnRows are drawn on top by the next render; rows inserted among
    // the drawn ones are drawn where they cover.
    if (first < m_drawnRows) {
        ++m_listVersion;
        m_drawnRows += last - first + 1;
        if (last - first >= manyRows)
            m_committedInvalid = true;
        if (!m_committedInvalid) {
            for (int row = first; row <= last; ++row)
                markRow(row, true);
        }
    }
    scheduleRender();
}

void DrawingLayer::rowsChanged(int first, int last)
{
    if (!anyDrawnIn(first, last))
        return;
    ++m_listVersion;
    const QList<Annotation> &records = editor()->document()->list();
    const Annotation *one =
        first == last && first < m_drawnRows && !m_committedInvalid ? &records.at(first) : nullptr;
    // A redaction changes the mosaics beside it, a text or image the clearing under it: those
    // are drawn in place. So is a change while the picture is made for another view.
    const bool splittable = one && isSplittable(one->type) && m_committedTarget == m_target;
    if (splittable && one->id == m_splitId) {
        m_changingStale = true;
        scheduleRender();
        return;
    }
    // The same shape changing again keeps the pictures being made around it.
    const bool again = splittable && one->id == m_lastChanged;
    if (again && m_splitReadyId == one->id && m_splitTarget == m_committedTarget) {
        m_wantSplit = true;
        scheduleRender();
        return;
    }
    if (!again)
        leaveSplit();
    m_lastChanged = one ? one->id : QUuid();
    if (!m_committedInvalid) {
        for (int row = first; row <= std::min(last, m_drawnRows - 1); ++row)
            markRow(row, true);
    }
    // A shape that has changed once is likely to change again (a drag, a resize): the
    // pictures around it are made meanwhile, away from the frames.
    if (splittable && m_splitPendingId != one->id && m_splitReadyId != one->id)
        m_wantSplitRender = true;
    scheduleRender();
}

void DrawingLayer::selectionChanged()
{
    // A shape just picked is likely to be dragged or reshaped next: the pictures around it
    // are made now, so that its first change may already use them.
    const Annotation *selected = editor()->document()->selectedRecord();
    if (!selected || m_committedInvalid || !isSplittable(selected->type) ||
        selected->id == m_splitId || selected->id == m_splitPendingId ||
        selected->id == m_splitReadyId)
        return;
    const QList<Annotation> &records = editor()->document()->list();
    const auto row =
        std::find_if(records.begin(), records.end(),
                     [selected](const Annotation &a) { return a.id == selected->id; }) -
        records.begin();
    if (row >= m_drawnRows)
        return;
    leaveSplit();
    m_lastChanged = selected->id;
    m_wantSplitRender = true;
    scheduleRender();
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
    const QSize liveSize = m_live.image().size();
    m_live.retarget(target);
    if (m_live.image().size() != liveSize)
        m_liveResized = true;
    if (m_target.pixels.isEmpty())
        return;
    renderCommitted();
    if (m_wantSplitRender)
        startSplitRender();
    QRegion changed;
    if (m_live.update(editor()->document()->drawing(), redactionSource(), &changed))
        m_liveDirty |= changed;
}

DrawingLayer::Rendered DrawingLayer::renderWithBounds(const QList<Annotation> &records,
                                                      const RasterTarget &target,
                                                      const RedactionSource &source)
{
    Rendered rendered;
    rendered.picture = QImage(target.pixels, QImage::Format_ARGB32_Premultiplied);
    rendered.picture.fill(Qt::transparent);
    QPainter painter(&rendered.picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(target.deviceTransform());
    for (const Annotation &record : records) {
        if (ShapeRaster::isDrawn(record.type)) {
            ShapeRaster::paint(painter, record, 0, false, target, source);
            rendered.bounds.insert(record.id, ShapeRaster::footprint(record, target, source));
        }
    }
    return rendered;
}

void DrawingLayer::renderCommitted()
{
    if (m_committedInvalid || m_committed.isNull()) {
        renderAll();
        return;
    }
    appendRows();
    if (m_wantSplit)
        enterSplit();
    else if (isSplit())
        repaintChanging();
    repaintMarked();
    if (!(m_committedTarget == m_target))
        startBackgroundRender();
}

DrawingLayer::SplitPictures DrawingLayer::renderSplit(const QList<Annotation> &records,
                                                      qsizetype row, const RasterTarget &target,
                                                      const RedactionSource &source)
{
    SplitPictures split;
    split.below = ShapeRaster::render(records.mid(0, row), target, source);
    split.above = ShapeRaster::render(records.mid(row + 1), target, source);
    return split;
}

void DrawingLayer::startSplitRender()
{
    m_wantSplitRender = false;
    if (m_lastChanged.isNull() || !(m_committedTarget == m_target))
        return;
    const QList<Annotation> records = editor()->document()->list();
    const auto found = std::find_if(records.begin(), records.end(),
                                    [this](const Annotation &a) { return a.id == m_lastChanged; });
    if (found == records.end())
        return;
    const qsizetype row = found - records.begin();
    m_splitPendingId = m_lastChanged;
    m_splitReadyId = {};
    m_ready = {};
    m_splitWorkerGeneration = ++m_splitGeneration;
    m_splitTarget = m_committedTarget;
    const RasterTarget target = m_committedTarget;
    const RedactionSource source = redactionSource();
    m_splitWorker.setFuture(QtConcurrent::run(renderPool(), [records, row, target, source] {
        return renderSplit(records, row, target, source);
    }));
}

void DrawingLayer::splitRenderDone()
{
    // Thrown away meanwhile, or a later one is on its way.
    if (m_splitWorkerGeneration != m_splitGeneration || m_splitPendingId.isNull())
        return;
    if (!(m_splitTarget == m_committedTarget)) {
        dropPendingSplit();
        return;
    }
    m_ready = m_splitWorker.result();
    m_splitReadyId = m_splitPendingId;
    m_splitPendingId = {};
}

void DrawingLayer::dropPendingSplit()
{
    m_wantSplitRender = false;
    m_splitPendingId = {};
    m_splitReadyId = {};
    m_ready = {};
    ++m_splitGeneration;
}

void DrawingLayer::enterSplit()
{
    m_wantSplit = false;
    if (m_lastChanged.isNull() || m_splitReadyId != m_lastChanged ||
        !(m_splitTarget == m_committedTarget)) {
        markById(m_lastChanged);
        return;
    }
    // What waits to be drawn in place goes first, so that the picture and the bounds
    // the split starts from are current.
    repaintMarked();
    m_below = std::move(m_ready.below);
    m_above = std::move(m_ready.above);
    m_ready = {};
    m_splitReadyId = {};
    // The shape's old pixels are drawn again from the two pictures alone.
    m_changingPainted = m_bounds.value(m_lastChanged);
    m_splitId = m_lastChanged;
    m_changingStale = true;
    repaintChanging();
}

void DrawingLayer::repaintChanging()
{
    if (!m_changingStale)
        return;
    m_changingStale = false;
    const QList<Annotation> &records = editor()->document()->list();
    const auto found = std::find_if(records.begin(), records.end(),
                                    [this](const Annotation &a) { return a.id == m_splitId; });
    if (found == records.end()) {
        leaveSplit();
        m_committedInvalid = true;
        renderAll();
        return;
    }
    const RedactionSource source = redactionSource();
    const QRegion now = ShapeRaster::footprint(*found, m_committedTarget, source);
    // The pixels it left and the ones it takes: the records below, it, the records above.
    const QRegion changed = m_changingPainted | now;
    // Where a text or image view above it lies, the clearing under the view takes the
    // shape and the records below it together, as the whole picture is made: there the
    // records above are drawn one by one, in order, instead of from their picture.
    const auto viewMet = std::any_of(found + 1, records.end(), [&](const Annotation &a) {
        if (ShapePaths::isShape(a.type))
            return false;
        const auto held = m_bounds.constFind(a.id);
        return held != m_bounds.constEnd() && held->intersects(changed);
    });
    QPainter painter(&m_committed);
    painter.setClipRegion(changed);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(0, 0, m_below);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(m_committedTarget.deviceTransform());
    ShapeRaster::paint(painter, *found, 0, false, m_committedTarget, source);
    if (viewMet) {
        for (auto above = found + 1; above != records.end(); ++above) {
            const auto held = m_bounds.constFind(above->id);
            if (held != m_bounds.constEnd() && held->intersects(changed))
                ShapeRaster::paint(painter, *above, 0, false, m_committedTarget, source);
        }
    } else {
        painter.resetTransform();
        painter.drawImage(0, 0, m_above);
    }
    m_committedDirty |= changed;
    m_changingPainted = now;
    m_bounds.insert(found->id, now);
}

void DrawingLayer::leaveSplit()
{
    // A change of the shape not drawn yet, by the split it was waiting for or by the split
    // itself, is drawn in place instead; otherwise the committed picture is already every
    // record in order.
    const QUuid waiting = m_wantSplit                    ? m_lastChanged
                          : isSplit() && m_changingStale ? m_splitId
                                                         : QUuid();
    m_wantSplit = false;
    m_changingStale = false;
    m_splitId = {};
    markById(waiting);
    dropPendingSplit();
    m_below = {};
    m_above = {};
    m_changingPainted = {};
}

void DrawingLayer::renderAll()
{
    leaveSplit();
    // What is shown must never hold a removed or changed stroke: render now.
    const QList<Annotation> &records = editor()->document()->list();
    Rendered rendered = renderWithBounds(records, m_target, redactionSource());
    m_committed = std::move(rendered.picture);
    m_bounds = std::move(rendered.bounds);
    m_committedTarget = m_target;
    m_drawnRows = int(records.size());
    m_committedInvalid = false;
    m_committedResized = true;
    m_committedDirty = {};
    m_repaint = {};
    m_marked.clear();
    m_redactionMarked = false;
}

void DrawingLayer::repaintMarked()
{
    if (m_repaint.isEmpty() && m_marked.isEmpty())
        return;
    const QList<Annotation> &records = editor()->document()->list();
    const RedactionSource source = redactionSource();
    QList<QRegion> known(records.size());
    for (qsizetype row = 0; row < records.size(); ++row) {
        const Annotation &record = records.at(row);
        if (!ShapeRaster::isDrawn(record.type))
            continue;
        auto held = m_bounds.find(record.id);
        if (held == m_bounds.end() || m_marked.contains(record.id)) {
            const QRegion now = ShapeRaster::footprint(record, m_committedTarget, source);
            held = m_bounds.insert(record.id, now);
            m_repaint |= now;
        }
        known[row] = *held;
    }
    if (m_redactionMarked && source.isUsable()) {
        // A mosaic reads a ring of capture pixels around its rectangle, outside every
        // redaction: those whose ring meets a redaction that came, went or moved change.
        const double perCapturePixel =
            m_committedTarget.view.scale() * m_committedTarget.ratio *
            std::max(source.canvasSize.width() / source.capture.width(),
                     source.canvasSize.height() / source.capture.height());
        const int ring = int(std::ceil(Redaction::ringWidth * perCapturePixel)) + 2;
        const QRegion moved = m_repaint;
        for (qsizetype row = 0; row < records.size(); ++row) {
            const Annotation &record = records.at(row);
            if (record.type == DrawingTool::Redact && record.pixelate &&
                moved.intersects(known.at(row).boundingRect().adjusted(-ring, -ring, ring, ring)))
                m_repaint |= known.at(row);
        }
    }
    ShapeRaster::renderRegion(m_committed, m_repaint, records, m_committedTarget, source, known);
    m_committedDirty |= m_repaint;
    m_repaint = {};
    m_marked.clear();
    m_redactionMarked = false;
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
        if (!ShapeRaster::isDrawn(record.type))
            continue;
        // The stroke just finished is already in the live picture, exactly as shown.
        QRegion touched = ShapeRaster::footprint(record, m_committedTarget, source);
        if (m_live.holds(record, m_committedTarget)) {
            painter.resetTransform();
            m_live.drawOnto(painter);
            touched |= m_live.bounds();
        } else {
            painter.setTransform(m_committedTarget.deviceTransform());
            ShapeRaster::paint(painter, record, 0, false, m_committedTarget, source);
        }
        m_bounds.insert(record.id, touched);
        m_committedDirty |= touched;
        // A new redaction hides pixels that the mosaics beside it may have read.
        if (record.type == DrawingTool::Redact) {
            m_repaint |= touched;
            m_redactionMarked = true;
        }
    }
    m_drawnRows = int(records.size());
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
    m_worker.setFuture(QtConcurrent::run(renderPool(), [records, target, source] {
        return renderWithBounds(records, target, source);
    }));
}

void DrawingLayer::backgroundRenderDone()
{
    if (m_workerVersion != m_listVersion || m_committedInvalid) {
        scheduleRender();
        return;
    }
    Rendered rendered = m_worker.result();
    leaveSplit();
    m_lastChanged = {};
    m_committed = std::move(rendered.picture);
    m_bounds = std::move(rendered.bounds);
    m_committedTarget = m_workerTarget;
    m_drawnRows = m_workerRows;
    m_committedResized = true;
    m_committedDirty = {};
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
        node = new LayerNode;
        m_committedResized = true;
        m_liveResized = true;
    }
    // A picture made for another view is shown moved and scaled to where it belongs now;
    // the two placements differ by a scale and a shift only.
    const QTransform pictureToItem = m_committedTarget.deviceTransform().inverted() *
                                     CanvasGeometry::canvasTransform(m_target.view);
    node->committed.sync(window(), m_committed, m_committedDirty, m_committedResized,
                         pictureToItem);
    m_committedDirty = {};
    m_committedResized = false;
    const bool hasLive = m_live.isShowing();
    // Every image node needs a texture, even one left out of the frame.
    if (hasLive || m_liveResized) {
        node->live.sync(window(), m_live.image(), m_liveDirty, m_liveResized,
                        QTransform::fromScale(1 / m_target.ratio, 1 / m_target.ratio));
        m_liveDirty = {};
        m_liveResized = false;
    }
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
