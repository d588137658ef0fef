#include "MagnifierItem.h"

#include <QPainter>

MagnifierItem::MagnifierItem(QQuickItem *parent) : QQuickPaintedItem(parent) {}

void MagnifierItem::setImage(const QImage &image)
{
    m_image = image;
    Q_EMIT imageChanged();
    update();
}

void MagnifierItem::paint(QPainter *painter)
{
    if (m_image.isNull())
        return;
    const QRectF area(0, 0, width(), height());
    painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter->drawImage(area, m_image);
    const qreal cellWidth = width() / m_image.width();
    const qreal cellHeight = height() / m_image.height();
    painter->setPen(QPen(QColor(0, 0, 0, 60), 1));
    for (int i = 1; i < m_image.width(); ++i)
        painter->drawLine(QPointF(i * cellWidth, 0), QPointF(i * cellWidth, height()));
    for (int i = 1; i < m_image.height(); ++i)
        painter->drawLine(QPointF(0, i * cellHeight), QPointF(width(), i * cellHeight));
    painter->setPen(QPen(Qt::white, 2));
    painter->drawRect(QRectF((m_image.width() / 2) * cellWidth, (m_image.height() / 2) * cellHeight,
                             cellWidth, cellHeight));
}
