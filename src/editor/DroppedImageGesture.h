#pragma once

#include "RecordViewController.h"

#include <QImage>
#include <QPointF>
#include <QtQml/qqmlregistration.h>

/**
 * What an image view on the canvas does with the pointer: the centre and scale shown now
 * (`dragPos`, `dragScale`), and the record written once, when a move or resize ends. One
 * taken away (`moveCancelled`, `resizeCancelled`) goes back to the record's values. Owned by
 * DroppedImageView.
 */
class DroppedImageGesture : public RecordViewController
{
    Q_OBJECT
    QML_ELEMENT
    // The copy of the record's image the canvas shows.
    Q_PROPERTY(QImage displayImage READ displayImage NOTIFY displayImageChanged)

public:
    /// The smallest scale a resize reaches; there is no largest.
    static constexpr double minimumScale = 0.1;

    explicit DroppedImageGesture(QObject *parent = nullptr);

    QImage displayImage() const;

    /// The view is first shown: it takes the record's centre and scale.
    Q_INVOKABLE void begin(QPointF position, double scale);
    /// The image is dragged by `translation` screen points at `zoom` screen points per
    /// canvas unit; the first call of a drag selects the image (with the Select tool).
    Q_INVOKABLE void moveChanged(QPointF translation, double zoom);
    /// The move is over: the record's centre becomes the one shown.
    Q_INVOKABLE void moveEnded();
    /// The move was taken away before its release: the image goes back where it was.
    Q_INVOKABLE void moveCancelled();
    /// The corner handle is dragged `dx` screen points sideways; the image keeps its
    /// centre, so its width grows by twice that, and its aspect ratio.
    Q_INVOKABLE void resizeChanged(double dx, double zoom, double imageWidth);
    /// The resize is over: the record's scale becomes the one shown.
    Q_INVOKABLE void resizeEnded();
    /// The resize was taken away before its release: the image keeps its record's scale.
    Q_INVOKABLE void resizeCancelled();

Q_SIGNALS:
    void displayImageChanged();
};
