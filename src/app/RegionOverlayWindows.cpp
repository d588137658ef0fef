#include "RegionOverlayWindows.h"

#include "platform/MemoryPolicy.h"
#include "region/RegionSelection.h"

#include <QCursor>
#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickView>
#include <QScreen>
#include <QThreadPool>

namespace {

void showInView(QQuickView *view, RegionSelection *selection, const QImage &picture)
{
    if (QQuickItem *root = view->rootObject()) {
        root->setProperty("picture", QVariant::fromValue(picture));
        root->setProperty("selection", QVariant::fromValue(selection));
    }
}

} // namespace

RegionOverlayWindows::RegionOverlayWindows(const ViewFactory &makeView, Placement placement,
                                           QObject *parent)
    : QObject(parent), m_makeView(makeView), m_placement(placement),
      m_idle(std::make_unique<RegionSelection>(DesktopGeometry(), DesktopPicture(), QList<QRect>()))
{
    m_release.setSingleShot(true);
    m_release.setInterval(ReleaseDelay);
    connect(&m_release, &QTimer::timeout, this, &RegionOverlayWindows::releasePictures);
}

RegionOverlayWindows::~RegionOverlayWindows()
{
    for (const ScreenWindow &screen : std::as_const(m_screens)) {
        screen.view->setKeyboardGrabEnabled(false);
        delete screen.view;
    }
}

QList<QQuickView *> RegionOverlayWindows::allWindows() const
{
    QList<QQuickView *> views;
    for (const ScreenWindow &screen : m_screens)
        views.append(screen.view);
    return views;
}

void RegionOverlayWindows::prepare()
{
    QList<QRect> geometries;
    for (QScreen *screen : QGuiApplication::screens())
        geometries.append(screen->geometry());
    for (qsizetype i = m_screens.size() - 1; i >= 0; --i) {
        QQuickView *view = m_screens[i].view;
        if (geometries.contains(m_screens[i].geometry) || m_shown.contains(view))
            continue;
        m_screens.removeAt(i);
        delete view;
    }
    for (const QRect &geometry : std::as_const(geometries))
        windowFor(geometry);
}

QQuickView *RegionOverlayWindows::windowFor(const QRect &geometry)
{
    for (const ScreenWindow &screen : std::as_const(m_screens)) {
        if (screen.geometry == geometry)
            return screen.view;
    }
    QQuickView *view = m_makeView({{QStringLiteral("selection"), QVariant::fromValue(m_idle.get())},
                                   {QStringLiteral("screenRect"), QVariant::fromValue(geometry)},
                                   {QStringLiteral("picture"), QVariant::fromValue(QImage())}});
    view->setTitle(QStringLiteral("Orrinvale Region"));
    // Unmanaged, it covers panels and docks at once, with no window manager placing it.
    Qt::WindowFlags flags = Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
    if (m_placement == Placement::Unmanaged)
        flags |= Qt::X11BypassWindowManagerHint;
    view->setFlags(flags);
    for (QScreen *qscreen : QGuiApplication::screens()) {
        if (qscreen->geometry() == geometry)
            view->setScreen(qscreen);
    }
    view->setGeometry(geometry);
    // The native window now, so that showing it later is all that is left to do.
    view->create();
    connect(
        view, &QQuickWindow::frameSwapped, this, [this, view] { onFrameSwapped(view); },
        Qt::QueuedConnection);
    m_screens.append({geometry, view});
    return view;
}

void RegionOverlayWindows::open(std::unique_ptr<RegionSelection> selection)
{
    close();
    m_release.stop();
    m_selection = std::move(selection);
    const QPoint pointer = QCursor::pos();
    // The crosshair and the loupe start where the pointer is, not at the desktop's corner.
    m_selection->move(pointer);
    for (const DesktopScreen &screen : m_selection->desktop().screens()) {
        QImage picture;
        for (const DesktopPicture::Part &part : m_selection->picture().parts) {
            if (part.logical == screen.geometry)
                picture = part.image;
        }
        QQuickView *view = windowFor(screen.geometry);
        showInView(view, m_selection.get(), picture);
        m_shown.append(view);
        m_awaitingFrame.append(view);
        if (screen.geometry.contains(pointer))
            m_keyboardWindow = view;
    }
    if (!m_keyboardWindow && !m_shown.isEmpty())
        m_keyboardWindow = m_shown.first();
    for (QQuickView *view : std::as_const(m_shown)) {
        if (m_placement == Placement::FullScreen) {
            view->showFullScreen();
            continue;
        }
        view->show();
        // Mapped again, an unmanaged window keeps its old place in the stacking order.
        view->raise();
    }
}

void RegionOverlayWindows::onFrameSwapped(QQuickView *view)
{
    if (!m_awaitingFrame.removeOne(view))
        return;
    if (view == m_keyboardWindow) {
        view->requestActivate();
        // An unmanaged window gets no focus from the window manager: it takes the keyboard
        // itself once it is on the screen.
        if (m_placement == Placement::Unmanaged)
            view->setKeyboardGrabEnabled(true);
    }
    if (!m_shown.isEmpty() && m_shown.first() == view)
        Q_EMIT firstFrameShown();
}

void RegionOverlayWindows::close()
{
    if (!m_selection)
        return;
    for (QQuickView *view : std::as_const(m_shown)) {
        view->setKeyboardGrabEnabled(false);
        view->hide();
        showInView(view, m_idle.get(), QImage());
    }
    m_shown.clear();
    m_awaitingFrame.clear();
    m_keyboardWindow = nullptr;
    m_selection.release()->deleteLater();
    m_release.start();
    // Screens may have come or gone while it was open.
    QMetaObject::invokeMethod(this, &RegionOverlayWindows::prepare, Qt::QueuedConnection);
}

void RegionOverlayWindows::releasePictures()
{
    // A hidden window is not rendered, so its scene graph still holds the texture made
    // from the last picture (with the software renderer, the picture's own pixels). A grab
    // renders it offscreen, which brings the scene graph up to date with the empty picture
    // and so drops the texture; the grabbed image itself is of no use.
    for (const ScreenWindow &screen : std::as_const(m_screens)) {
        if (!m_shown.contains(screen.view))
            screen.view->grabWindow();
    }
    // A screen-sized block is just under glibc's largest mmap threshold, so once one has
    // been freed the next ones come from the heap, and freed there they would stay resident.
    QThreadPool::globalInstance()->start([] { MemoryPolicy::releaseFreedMemory(); });
}
