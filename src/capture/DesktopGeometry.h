#pragma once

#include <QList>
#include <QRect>
#include <QString>

/** One screen of the desktop: its place in logical pixels and its device pixel ratio. */
struct DesktopScreen
{
    QString name;
    QRect geometry;
    qreal ratio = 1;
};

/**
 * Where the screens lie on the desktop and how their logical pixels map to device pixels.
 * Requests name places in the desktop's logical pixels (Qt's virtual desktop); the capture
 * service reads device pixels. As Qt places screens, a screen's top-left corner is the same
 * point in both, and inside it a logical pixel spans `ratio` device pixels. ScreenshotManager
 * takes one copy per request, on the UI thread, and hands it to its worker.
 */
class DesktopGeometry
{
public:
    /// Part of a logical rectangle that lies on one screen.
    struct Piece
    {
        int screen = -1;
        QRect logical;
        QRect device;
    };

    DesktopGeometry() = default;
    /// `screens` with the primary one first; one that holds another whole is left out.
    explicit DesktopGeometry(QList<DesktopScreen> screens);
    /// The application's screens now; call on the UI thread.
    static DesktopGeometry fromApplication();

    const QList<DesktopScreen> &screens() const { return m_screens; }
    bool isEmpty() const { return m_screens.isEmpty(); }
    /// The bounding box of every screen.
    QRect bounds() const;
    /// The index of the screen holding `point`, or of the nearest one; -1 without screens.
    int screenAt(QPoint point) const;
    /// Whether any pixel of `logical` lies on a screen.
    bool touchesScreens(const QRect &logical) const;

    /// `logical`, a part of screen `screen`, in device pixels.
    QRect toDevice(int screen, const QRect &logical) const;
    /// A device-pixel rectangle (a window's) in logical pixels, mapped through the screen
    /// that holds most of it; empty when it lies on no screen.
    QRect fromDevice(const QRect &device) const;
    /// The screen's whole rectangle in device pixels.
    QRect nativeGeometry(int screen) const { return toDevice(screen, m_screens[screen].geometry); }
    /// The parts of `logical` on each screen it covers, in the screens' order.
    QList<Piece> pieces(const QRect &logical) const;

private:
    QList<DesktopScreen> m_screens;
};
