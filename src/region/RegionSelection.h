#pragma once

#include "capture/DesktopGeometry.h"
#include "capture/DesktopPicture.h"

#include <QImage>
#include <QObject>
#include <QPointF>
#include <QRect>
#include <QtQml/qqmlregistration.h>

/**
 * The region overlay's state, shared by its window on every screen: the frozen picture of
 * the desktop, the selection in the desktop's logical pixels, the pointer, and the window
 * under it. The overlay's QML forwards presses, moves, releases and keys here and binds to
 * the properties; AppDelegate listens for accepted() and cancelled().
 */
class RegionSelection : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by AppDelegate for each region overlay")
    Q_PROPERTY(QRect selection READ selection NOTIFY selectionChanged)
    Q_PROPERTY(bool hasSelection READ hasSelection NOTIFY selectionChanged)
    Q_PROPERTY(QString sizeText READ sizeText NOTIFY selectionChanged)
    Q_PROPERTY(QPointF pointer READ pointer NOTIFY pointerChanged)
    Q_PROPERTY(QString colourName READ colourName NOTIFY pointerChanged)
    Q_PROPERTY(QImage patch READ patch NOTIFY pointerChanged)
    Q_PROPERTY(QRect hoveredWindow READ hoveredWindow NOTIFY hoveredWindowChanged)
    Q_PROPERTY(bool dragging READ dragging NOTIFY draggingChanged)

public:
    /// What a press at a point grabs.
    enum class Grip {
        None,
        Inside,
        Left,
        Right,
        Top,
        Bottom,
        TopLeft,
        TopRight,
        BottomLeft,
        BottomRight
    };
    Q_ENUM(Grip)

    /// How near an edge, in logical pixels, a press takes that edge.
    static constexpr int GripMargin = 6;
    /// How far the pointer must go before a press becomes a drag.
    static constexpr int DragThreshold = 3;
    /// Device pixels each side of the pointer's one in the magnifier.
    static constexpr int PatchRadius = 7;

    RegionSelection(DesktopGeometry desktop, DesktopPicture picture, QList<QRect> windows,
                    QObject *parent = nullptr);

    const DesktopGeometry &desktop() const { return m_desktop; }
    const DesktopPicture &picture() const { return m_picture; }
    QRect selection() const { return m_selection; }
    bool hasSelection() const { return !m_selection.isEmpty(); }
    /// The selection's size in the picture's pixels: "640 × 480".
    QString sizeText() const;
    QPointF pointer() const { return m_pointer; }
    /// The colour under the pointer as #RRGGBB; empty off every screen.
    QString colourName() const;
    /// The picture's pixels around the pointer, the pointer's one in the middle.
    QImage patch() const { return m_patch; }
    QRect hoveredWindow() const { return m_hoveredWindow; }
    bool dragging() const { return m_dragging; }

    Grip gripAt(QPointF point) const;
    void setSelection(const QRect &selection);

public Q_SLOTS:
    /// Pointer input in the desktop's logical pixels.
    void press(QPointF point);
    void move(QPointF point);
    void release(QPointF point);
    /// A double click accepts what is selected.
    void doubleClick(QPointF point);
    /// Arrows move the selection by one pixel (Shift: ten), Alt+arrows resize it; Enter
    /// accepts, Escape cancels. Returns whether the key was used.
    bool key(int key, int modifiers);
    void accept();
    void cancel();

Q_SIGNALS:
    void selectionChanged();
    void pointerChanged();
    void hoveredWindowChanged();
    void draggingChanged();
    void accepted(const QRect &selection);
    void cancelled();

private:
    QRect clamped(const QRect &rect) const;
    void setPointer(QPointF point);
    void setDragging(bool dragging);

    DesktopGeometry m_desktop;
    DesktopPicture m_picture;
    QList<QRect> m_windows;
    QRect m_selection;
    QPointF m_pointer;
    QImage m_patch;
    QRect m_hoveredWindow;
    bool m_pressed = false;
    bool m_dragging = false;
    Grip m_grip = Grip::None;
    QPoint m_pressPoint;
    QRect m_pressSelection;
    bool m_finished = false;
};
