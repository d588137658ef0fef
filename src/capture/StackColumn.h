#pragma once

#include <QObject>
#include <QPointer>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

class CaptureListModel;

/**
 * The stack column's geometry for OverlayView: where each thumbnail of the capture list
 * sits, how tall the column is, and how far it is scrolled. Follows the list as captures
 * arrive or change size, keeps the scroll offset within the content, and turns wheel and
 * touchpad events into scrolling (vertical only).
 */
class StackColumn : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(CaptureListModel *model READ model WRITE setModel NOTIFY modelChanged)
    Q_PROPERTY(qreal width READ width WRITE setWidth NOTIFY widthChanged)
    Q_PROPERTY(qreal viewHeight READ viewHeight WRITE setViewHeight NOTIFY viewHeightChanged)
    Q_PROPERTY(QVariantList rects READ rects NOTIFY rectsChanged)
    Q_PROPERTY(qreal contentHeight READ contentHeight NOTIFY rectsChanged)
    Q_PROPERTY(qreal scrollY READ scrollY NOTIFY scrollYChanged)

public:
    explicit StackColumn(QObject *parent = nullptr);

    CaptureListModel *model() const { return m_model; }
    void setModel(CaptureListModel *model);
    qreal width() const { return m_width; }
    void setWidth(qreal width);
    qreal viewHeight() const { return m_viewHeight; }
    void setViewHeight(qreal height);

    /// One QRectF per capture, in list order, in column coordinates.
    QVariantList rects() const { return m_rects; }
    qreal contentHeight() const { return m_contentHeight; }
    qreal scrollY() const { return m_scrollY; }

    /// Scrolls by one wheel event's deltas (as WheelHandler's event reports them).
    Q_INVOKABLE void scroll(QPointF angleDelta, QPointF pixelDelta);

Q_SIGNALS:
    void modelChanged();
    void widthChanged();
    void viewHeightChanged();
    void rectsChanged();
    void scrollYChanged();

private:
    void relayout();
    void setScrollY(qreal scrollY);

    QPointer<CaptureListModel> m_model;
    qreal m_width = 250;
    qreal m_viewHeight = 0;
    QVariantList m_rects;
    qreal m_contentHeight = 0;
    qreal m_scrollY = 0;
};
