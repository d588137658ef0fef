#pragma once

#include "CanvasGeometry.h"

#include <QObject>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <QtQml/qqmlregistration.h>

/**
 * How an editor shows its canvas: the canvas area's size, canvas space (fixed by the first
 * layout), the zoom and the pan, and the pinch, scroll and pan-drag steps that change them.
 * A pinch or pan drag works from a base (`baseZoom`, `basePan`) that is taken over when it
 * ends; a step that would leave the finite numbers is refused. Owned by EditorState; the
 * document group of EditorView.qml and the drawing layer follow `canvasOrigin` and
 * `canvasScale`.
 */
class CanvasViewport : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Owned by EditorState")
    Q_PROPERTY(QSizeF viewSize READ viewSize NOTIFY viewSizeChanged)
    Q_PROPERTY(QString zoomReadout READ zoomReadout NOTIFY zoomScaleChanged)
    // The document group's top-left corner in the canvas area, and its scale (screen points
    // per canvas unit).
    Q_PROPERTY(QPointF canvasOrigin READ canvasOrigin NOTIFY placementChanged)
    Q_PROPERTY(double canvasScale READ canvasScale NOTIFY placementChanged)

public:
    /// Zoom never goes below this; it has no upper limit.
    static constexpr double minimumZoom = 0.0001;
    /// The zoom factor of one Ctrl+wheel notch.
    static constexpr double zoomPerNotch = 1.2;

    explicit CanvasViewport(QObject *parent = nullptr);

    /// The capture's size in points (empty without a capture).
    void setCaptureSize(QSizeF size);
    /// The canvas area was laid out at `area`: the first layout with a capture fixes canvas
    /// space.
    void setAreaSize(QSizeF area);
    QSizeF areaSize() const { return m_area; }
    /// Canvas space as annotations made earlier were drawn in: in place of the first
    /// layout's, so they land on the pixels they were drawn on. An empty size changes
    /// nothing.
    void setCanvasSize(QSizeF size);

    /// Canvas space: the capture's fitted size at the first layout; empty before it.
    QSizeF viewSize() const { return m_viewSize; }
    QSizeF imageOffset() const { return m_imageOffset; }
    double zoomScale() const { return m_zoomScale; }
    double baseZoom() const { return m_baseZoom; }
    QSizeF panOffset() const { return m_panOffset; }
    QSizeF basePan() const { return m_basePan; }
    /// "Zoom: N%", N the zoom in percent with the fraction dropped.
    QString zoomReadout() const { return zoomReadout(m_zoomScale); }
    static QString zoomReadout(double zoom);

    /// The placement of canvas space in the canvas area now.
    CanvasGeometry::View view() const;
    QPointF canvasOrigin() const;
    double canvasScale() const { return view().scale(); }
    Q_INVOKABLE QPointF viewToCanvas(QPointF v) const;
    Q_INVOKABLE QPointF canvasToView(QPointF c) const;
    /// The middle of canvas space, or `fallback` before the first layout.
    QPointF canvasCentre(QPointF fallback) const;

    /// A pan drag, `translation` points since it began.
    void panChanged(QSizeF translation);
    void panEnded();
    /// `magnification` is the pinch's total since it began.
    void pinchChanged(double magnification);
    void pinchEnded();
    /// A whole pinch of `magnification` at once: one Ctrl+wheel notch.
    void pinchStep(double magnification);
    /// A scroll by `delta` points.
    void wheelPan(QSizeF delta);

Q_SIGNALS:
    void viewSizeChanged();
    void imageOffsetChanged();
    void zoomScaleChanged();
    void placementChanged();

private:
    void layOut();
    void setZoomScale(double zoom);
    void setPanOffset(QSizeF pan);

    QSizeF m_capture{0, 0};
    QSizeF m_area{0, 0};
    QSizeF m_viewSize{0, 0};
    QSizeF m_imageOffset{0, 0};
    double m_zoomScale = 1;
    double m_baseZoom = 1;
    QSizeF m_panOffset{0, 0};
    QSizeF m_basePan{0, 0};
};
