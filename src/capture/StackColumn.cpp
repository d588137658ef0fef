#include "StackColumn.h"

#include "capture/CaptureListModel.h"
#include "capture/StackGeometry.h"

#include <algorithm>

StackColumn::StackColumn(QObject *parent) : QObject(parent) {}

void StackColumn::setModel(CaptureListModel *model)
{
    if (m_model == model)
        return;
    if (m_model)
        disconnect(m_model, nullptr, this, nullptr);
    m_model = model;
    if (m_model) {
        connect(m_model, &QAbstractItemModel::rowsInserted, this, &StackColumn::relayout);
        connect(m_model, &QAbstractItemModel::rowsRemoved, this, &StackColumn::relayout);
        connect(m_model, &QAbstractItemModel::rowsMoved, this, &StackColumn::relayout);
        connect(m_model, &QAbstractItemModel::modelReset, this, &StackColumn::relayout);
        connect(m_model, &QAbstractItemModel::dataChanged, this,
                [this](const QModelIndex &, const QModelIndex &, const QList<int> &roles) {
                    if (roles.isEmpty() || roles.contains(CaptureListModel::PointSizeRole))
                        relayout();
                });
    }
    relayout();
    Q_EMIT modelChanged();
}

void StackColumn::setWidth(qreal width)
{
    if (qFuzzyCompare(m_width, width))
        return;
    m_width = width;
    relayout();
    Q_EMIT widthChanged();
}

void StackColumn::setViewHeight(qreal height)
{
    if (qFuzzyCompare(m_viewHeight, height))
        return;
    m_viewHeight = height;
    setScrollY(m_scrollY);
    Q_EMIT viewHeightChanged();
}

void StackColumn::relayout()
{
    QList<QSizeF> sizes;
    const int count = m_model ? m_model->rowCount() : 0;
    sizes.reserve(count);
    for (int row = 0; row < count; ++row)
        sizes.append(m_model->index(row).data(CaptureListModel::PointSizeRole).toSizeF());
    const StackGeometry::Placement placement = StackGeometry::place(sizes, m_width);

    QVariantList rects;
    rects.reserve(placement.rects.size());
    for (const QRectF &rect : placement.rects)
        rects.append(rect);
    m_rects = rects;
    m_contentHeight = placement.contentHeight;
    Q_EMIT rectsChanged();
    // A shorter column may leave the offset past its end.
    setScrollY(m_scrollY);
}

void StackColumn::scroll(QPointF angleDelta, QPointF pixelDelta)
{
    setScrollY(
        StackGeometry::scrolled(m_scrollY, angleDelta, pixelDelta, m_contentHeight, m_viewHeight));
}

void StackColumn::setScrollY(qreal scrollY)
{
    const qreal clamped =
        std::clamp<qreal>(scrollY, 0, StackGeometry::maxScroll(m_contentHeight, m_viewHeight));
    if (qFuzzyCompare(clamped + 1, m_scrollY + 1))
        return;
    m_scrollY = clamped;
    Q_EMIT scrollYChanged();
}
