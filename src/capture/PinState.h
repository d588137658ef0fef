#pragma once

#include <QImage>
#include <QObject>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QSizeF>
#include <QtQml/qqmlregistration.h>

/**
 * One pin: a capture shown in its own frameless window on top of the others. Holds the
 * picture, its zoom (10%-800%) and opacity (20%-100%), and turns wheel notches into either;
 * what the window should do (close, show its menu, be dragged out) it asks by signal.
 * Made by AppDelegate for each pin; PinView.qml shows it.
 */
class PinState : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by AppDelegate")
    Q_PROPERTY(QImage image READ image CONSTANT)
    Q_PROPERTY(qreal zoom READ zoom NOTIFY zoomChanged)
    Q_PROPERTY(qreal opacity READ opacity NOTIFY opacityChanged)
    Q_PROPERTY(QSizeF size READ size NOTIFY zoomChanged)

public:
    static constexpr qreal MinZoom = 0.1;
    static constexpr qreal MaxZoom = 8.0;
    /// Each notch multiplies or divides the zoom by this.
    static constexpr qreal ZoomPerNotch = 1.1;
    static constexpr qreal MinOpacity = 0.2;
    static constexpr qreal OpacityPerNotch = 0.05;

    PinState(quint64 captureId, const QImage &image, QObject *parent = nullptr);

    quint64 captureId() const { return m_captureId; }
    QImage image() const { return m_image; }
    qreal zoom() const { return m_zoom; }
    qreal opacity() const { return m_opacity; }
    /// The window's size in points: the capture's natural size at the zoom.
    QSizeF size() const;

    /// Where a pin of `size` opens for the pointer at `pointer`: its corner at the pointer,
    /// moved back just enough to lie within `screen` (the free area of the pointer's screen);
    /// one larger than the screen starts at the screen's top-left corner.
    static QPoint placement(QPoint pointer, QSize size, const QRect &screen);

    /// A wheel turn as WheelHandler reports it: plain it zooms (away from the user: larger),
    /// with Ctrl it sets the opacity.
    Q_INVOKABLE void wheel(QPointF angleDelta, bool control);
    void setZoom(qreal zoom);
    void setOpacity(qreal opacity);

public Q_SLOTS:
    void close() { Q_EMIT closeRequested(); }
    void showMenu() { Q_EMIT menuRequested(); }
    void dragOut() { Q_EMIT dragOutRequested(); }

Q_SIGNALS:
    void zoomChanged();
    void opacityChanged();
    void closeRequested();
    void menuRequested();
    void dragOutRequested();

private:
    quint64 m_captureId;
    QImage m_image;
    qreal m_zoom = 1.0;
    qreal m_opacity = 1.0;
};
