#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QQuickWindow>
#include <QRegion>
#include <QTimer>
#include <QtQml/qqmlregistration.h>

class DesktopWindowing;
class QQuickItem;

/**
 * Keeps the stack panel's window shaped to the thumbnails it shows: only they take clicks
 * (the rest of the panel lets clicks through to the windows below), and when nothing
 * composites the screen only they are drawn, so the transparent rest never shows as black.
 * Follows the thumbnails frame by frame while they move, scroll and fade: the input shape at
 * most every InputThrottleMs, the drawn shape with each frame as it reaches the screen. Made by
 * AppDelegate; OverlayView reads `compositing` (without a compositor a fade would darken
 * instead of blend, so the view only slides). Thumbnails are the items whose objectName is
 * ThumbnailName.
 */
class PanelShape : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by AppDelegate")
    Q_PROPERTY(bool compositing READ compositing NOTIFY compositingChanged)

public:
    static constexpr const char *ThumbnailName = "stackThumbnail";
    /// The input shape changes at most this often while thumbnails move.
    static constexpr int InputThrottleMs = 30;
    static constexpr int CompositorCheckMs = 2000;

    explicit PanelShape(DesktopWindowing *windowing, QObject *parent = nullptr);

    /// Starts shaping `window`, whose native window must exist: at once (before it is first
    /// shown, so an empty panel never catches a click), then after every frame.
    void attach(QQuickWindow *window);

    bool compositing() const { return m_compositor; }
    /// The pixels the visible thumbnails cover now, in window coordinates.
    QRegion visibleThumbnails() const;
    /// The region that last became the window's input shape.
    QRegion inputRegion() const { return m_input; }

    /// Recomputes the region and passes changes on; runs after each frame's animations. The
    /// drawn shape follows when the frame has been swapped to the screen.
    void refresh();

Q_SIGNALS:
    void compositingChanged();

private:
    void applyInput();
    void setDrawn(const QRegion &region);
    void checkCompositor();
    void collect(QQuickItem *item, qreal opacity, QRegion &region) const;

    DesktopWindowing *m_windowing;
    QPointer<QQuickWindow> m_window;
    bool m_compositor = false;
    QRegion m_current;
    QRegion m_input;
    bool m_inputSent = false;
    QRegion m_drawn;
    bool m_drawnCut = false;
    bool m_drawnPending = false;
    QElapsedTimer m_sinceInput;
    QTimer m_inputThrottle;
    QTimer m_compositorCheck;
};
