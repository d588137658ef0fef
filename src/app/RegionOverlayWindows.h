#pragma once

#include <QList>
#include <QObject>
#include <QRect>
#include <QTimer>
#include <QVariantMap>

#include <functional>
#include <memory>

class QQuickView;
class RegionSelection;

/**
 * The region overlay's windows: one frameless, always-on-top window over each screen,
 * showing that screen's part of the frozen picture, all sharing one RegionSelection. The
 * one under the pointer takes the keyboard, so Enter, Escape and the arrows reach the
 * overlay whichever window had the focus.
 *
 * AppDelegate keeps one for the whole run. Its windows are made once, ahead of the first
 * request, and only hidden between requests: opening the overlay then hands them the new
 * picture and shows them, which is what lets it appear at once on a large screen. While
 * hidden they show an empty selection and no picture, and a few seconds after closing they
 * hold none either (at 3840x2160 its texture is 32 MiB).
 */
class RegionOverlayWindows : public QObject
{
    Q_OBJECT

public:
    /// Makes a view of the overlay's QML with these initial properties.
    using ViewFactory = std::function<QQuickView *(const QVariantMap &properties)>;

    /// How the windows come on the screen.
    enum class Placement {
        /// Unmanaged, over panels and docks at once, taking the keyboard by a grab: X11.
        Unmanaged,
        /// Full-screen windows that the compositor places, raises and gives the keyboard:
        /// XWayland, where an unmanaged window gets no keys (the compositor sends them only
        /// to the window it focuses, and a grab inside XWayland does not change that).
        FullScreen
    };

    explicit RegionOverlayWindows(const ViewFactory &makeView,
                                  Placement placement = Placement::Unmanaged,
                                  QObject *parent = nullptr);
    ~RegionOverlayWindows() override;

    /// Makes the hidden window of each screen that has none yet and lets go of those of
    /// screens that are gone.
    void prepare();
    /// Shows `selection`'s picture over every screen, in place of an overlay still open.
    void open(std::unique_ptr<RegionSelection> selection);
    /// Hides the windows. The selection is deleted once the event that closed it is over,
    /// so this may be called from its own signals. The hidden windows let go of the picture
    /// ReleaseDelay later, unless opened again by then.
    void close();
    /// Makes the hidden windows let go of the last picture they showed now.
    void releasePictures();

    /// How long hidden windows keep the picture's texture, for a request that follows soon.
    static constexpr int ReleaseDelay = 5000;

    bool isOpen() const { return m_selection != nullptr; }
    /// The open overlay's selection; null while closed.
    RegionSelection *selection() const { return m_selection.get(); }
    /// The windows of the open overlay, one per screen; none while closed.
    const QList<QQuickView *> &windows() const { return m_shown; }
    /// Every window made so far, shown or hidden.
    QList<QQuickView *> allWindows() const;

Q_SIGNALS:
    /// The first window has shown the picture on the screen.
    void firstFrameShown();

private:
    struct ScreenWindow
    {
        QRect geometry;
        QQuickView *view = nullptr;
    };

    QQuickView *windowFor(const QRect &geometry);
    void onFrameSwapped(QQuickView *view);

    ViewFactory m_makeView;
    Placement m_placement;
    // What hidden windows show, so that no window refers to a selection that is gone.
    std::unique_ptr<RegionSelection> m_idle;
    std::unique_ptr<RegionSelection> m_selection;
    QList<ScreenWindow> m_screens;
    QList<QQuickView *> m_shown;
    // Windows of the open overlay that have not yet shown a frame, and the one that takes
    // the keyboard once it has.
    QList<QQuickView *> m_awaitingFrame;
    QQuickView *m_keyboardWindow = nullptr;
    QTimer m_release;
};
