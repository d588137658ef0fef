#include "RegionOverlayWindows.h"

#include "region/RegionSelection.h"

#include <QCursor>
#include <QGuiApplication>
#include <QQuickView>
#include <QScreen>
#include <QTimer>

RegionOverlayWindows::RegionOverlayWindows(std::unique_ptr<RegionSelection> selection,
                                           const ViewFactory &makeView, QObject *parent)
    : QObject(parent), m_selection(std::move(selection))
{
    const DesktopGeometry &desktop = m_selection->desktop();
    const QPoint pointer = QCursor::pos();
    for (const DesktopScreen &screen : desktop.screens()) {
        QImage picture;
        for (const DesktopPicture::Part &part : m_selection->picture().parts) {
            if (part.logical == screen.geometry)
                picture = part.image;
        }
        QQuickView *view =
            makeView({{QStringLiteral("selection"), QVariant::fromValue(m_selection.get())},
                      {QStringLiteral("screenRect"), QVariant::fromValue(screen.geometry)},
                      {QStringLiteral("picture"), QVariant::fromValue(picture)}});
        view->setTitle(QStringLiteral("Orrinvale Region"));
        // Unmanaged: it covers panels and docks at once, with no window manager placing it.
        view->setFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                       Qt::X11BypassWindowManagerHint | Qt::Tool);
        for (QScreen *qscreen : QGuiApplication::screens()) {
            if (qscreen->geometry() == screen.geometry)
                view->setScreen(qscreen);
        }
        view->setGeometry(screen.geometry);
        const bool underPointer = screen.geometry.contains(pointer);
        connect(
            view, &QQuickWindow::frameSwapped, this,
            [this, view, underPointer] {
                if (view->property("orrinvaleShown").toBool())
                    return;
                view->setProperty("orrinvaleShown", true);
                if (underPointer || m_windows.size() == 1) {
                    view->requestActivate();
                    // An unmanaged window gets no focus from the window manager: it takes
                    // the keyboard itself once it is on the screen.
                    view->setKeyboardGrabEnabled(true);
                }
                if (m_windows.first() == view)
                    Q_EMIT firstFrameShown();
            },
            Qt::QueuedConnection);
        m_windows.append(view);
        view->show();
    }
}

RegionOverlayWindows::~RegionOverlayWindows()
{
    for (QQuickView *view : std::as_const(m_windows)) {
        view->setKeyboardGrabEnabled(false);
        delete view;
    }
}
