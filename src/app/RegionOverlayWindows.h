#pragma once

#include <QList>
#include <QObject>
#include <QVariantMap>

#include <functional>
#include <memory>

class QQuickView;
class RegionSelection;

/**
 * The region overlay's windows: one frameless, always-on-top window over each screen,
 * showing that screen's part of the frozen picture, all sharing one RegionSelection. The
 * keyboard is grabbed by the one under the pointer, so Enter, Escape and the arrows reach
 * the overlay whichever window had the focus. AppDelegate makes one per SelectRegion
 * request and deletes it once the selection is accepted or cancelled.
 */
class RegionOverlayWindows : public QObject
{
    Q_OBJECT

public:
    /// Makes a view of the overlay's QML with these initial properties.
    using ViewFactory = std::function<QQuickView *(const QVariantMap &properties)>;

    RegionOverlayWindows(std::unique_ptr<RegionSelection> selection, const ViewFactory &makeView,
                         QObject *parent = nullptr);
    ~RegionOverlayWindows() override;

    RegionSelection *selection() const { return m_selection.get(); }
    const QList<QQuickView *> &windows() const { return m_windows; }

Q_SIGNALS:
    /// The first window has shown the picture on the screen.
    void firstFrameShown();

private:
    std::unique_ptr<RegionSelection> m_selection;
    QList<QQuickView *> m_windows;
};
