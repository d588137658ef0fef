#include "AppDelegate.h"

#include "app/GlobalShortcut.h"
#include "app/HideOnClose.h"
#include "app/PermissionBootstrap.h"
#include "app/RegionOverlayWindows.h"
#include "capture/CaptureSaver.h"
#include "capture/ClipboardCopy.h"
#include "capture/DragOut.h"
#include "capture/PanelShape.h"
#include "capture/PinState.h"
#include "editor/EditorSession.h"
#include "ocr/TesseractRecogniser.h"
#include "ocr/TextCopy.h"
#include "ocr/TextLanguages.h"
#include "platform/DesktopFileChooser.h"
#include "platform/DesktopWindowing.h"
#include "platform/DisplaySession.h"
#include "platform/GlobalKeys.h"
#include "platform/Log.h"
#include "platform/Permissions.h"
#include "platform/QtClock.h"
#include "platform/ScreenCapture.h"
#include "platform/TemporaryFiles.h"
#include "platform/WaylandDataControlClipboard.h"
#include "region/RegionSelection.h"

#include <QAction>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QQuickItem>
#include <QQuickView>
#include <QScreen>
#include <QSystemTrayIcon>

#include <algorithm>
#include <cmath>

namespace {

// The editor window's minimum width: 850 points, or what its toolbar needs if that is more,
// though never more than the screen has (there the last controls give way).
int editorMinimumWidth(const QQuickView *window)
{
    constexpr int designed = 850;
    const QQuickItem *content = window->rootObject();
    if (!content)
        return designed;
    int needed = int(std::ceil(content->property("minimumContentWidth").toReal()));
    if (const QScreen *screen = window->screen())
        needed = std::min(needed, screen->availableGeometry().width());
    return std::max(designed, needed);
}

const QString qmlRoot = QStringLiteral("qrc:/qt/qml/Orrinvale/");

} // namespace

AppDelegate::AppDelegate(std::unique_ptr<ScreenCapture> capture,
                         std::unique_ptr<DesktopWindowing> windowing,
                         std::unique_ptr<GlobalKeys> keys, std::unique_ptr<Permissions> permissions,
                         QObject *parent)
    : QObject(parent), m_windowing(std::move(windowing)), m_screenshotManager(std::move(capture)),
      m_permissions(std::move(permissions)), m_clock(std::make_unique<QtClock>())
{
    // Qt 6.4 does not search qrc:/qt/qml for modules by itself; without it the module's QML
    // files cannot use each other across folders.
    m_engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    m_clipboard = WaylandDataControlClipboard::create();
    m_fileChooser = std::make_unique<DesktopFileChooser>(&m_engine);
    m_clipboardCopy = std::make_unique<ClipboardCopy>(&m_screenshotManager, m_clipboard.get(),
                                                      std::make_shared<TemporaryFiles>());
    connect(&m_screenshotManager, &ScreenshotManager::captureFinished, this,
            [this](quint64 captureId) {
                if (m_preferences.copyEachCapture())
                    m_clipboardCopy->copyCapture(captureId);
            });
    m_captureSaver = std::make_unique<CaptureSaver>(&m_screenshotManager, &m_preferences);
    connect(&m_screenshotManager, &ScreenshotManager::captureFinished, this,
            [this](quint64 captureId) {
                if (m_preferences.saveEachCapture())
                    m_captureSaver->saveCapture(captureId);
            });
    m_textLanguages = std::make_unique<TextLanguages>();
    m_textLanguages->setPreferences(&m_preferences);
    m_textCopy = std::make_unique<TextCopy>(
        &m_screenshotManager, m_clipboard.get(),
        std::make_shared<TesseractRecogniser>(m_textLanguages->folder()), m_textLanguages.get());
    if (!keys)
        keys = GlobalKeys::create();
    // Where keys are granted by the desktop (Wayland), trust is the keys being granted.
    if (!m_permissions)
        m_permissions = Permissions::create(keys.get());
    m_globalShortcut = std::make_unique<GlobalShortcut>(std::move(keys), m_permissions.get(),
                                                        &m_screenshotManager);
    m_permissionBootstrap = std::make_unique<PermissionBootstrap>(
        m_permissions.get(), &m_preferences, m_clock.get(), QGuiApplication::desktopFileName(),
        PermissionBootstrap::compiledBuildId(), [this] { setupGlobalShortcut(); });
    connect(&m_screenshotManager, &ScreenshotManager::regionSelectionReady, this,
            &AppDelegate::openRegionOverlay);
    m_regionOverlay = std::make_unique<RegionOverlayWindows>(
        [this](const QVariantMap &properties) {
            return makeView(QStringLiteral("region/RegionOverlay.qml"), properties);
        },
        currentDisplaySession() == DisplaySession::Wayland
            ? RegionOverlayWindows::Placement::FullScreen
            : RegionOverlayWindows::Placement::Unmanaged);
}

AppDelegate::~AppDelegate()
{
    m_regionOverlay.reset();
    delete m_editorWindow.data();
    for (const QPointer<QQuickView> &pin : std::as_const(m_pinWindows))
        delete pin.data();
}

QRect AppDelegate::overlayGeometry(const QRect &screenGeometry)
{
    return QRect(screenGeometry.x() + screenGeometry.width() - 250 - 20, screenGeometry.y(), 250,
                 screenGeometry.height());
}

void AppDelegate::applicationDidFinishLaunching()
{
    // Windows come and go; only the menu's quit ends the program.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    bootstrapPermissions();
    setupOverlayWindow();
    // Without the trust now, the bootstrap's poll installs the combinations later, or never.
    if (m_permissions->isTrusted())
        setupGlobalShortcut();
    setupMenuBar();
    // The overlay's windows wait, hidden, from a moment after the launch, so that the first
    // request finds them ready.
    QMetaObject::invokeMethod(
        this, [this] { m_regionOverlay->prepare(); }, Qt::QueuedConnection);
}

void AppDelegate::bootstrapPermissions()
{
    m_permissionBootstrap->bootstrapPermissions();
}

void AppDelegate::setupGlobalShortcut()
{
    m_globalShortcut->setupGlobalShortcut();
}

QQuickView *AppDelegate::makeView(const QString &qmlFile, const QVariantMap &properties)
{
    auto *view = new QQuickView(&m_engine, nullptr);
    view->setResizeMode(QQuickView::SizeRootObjectToView);
    view->setInitialProperties(properties);
    view->setSource(QUrl(qmlRoot + qmlFile));
    for (const QQmlError &error : view->errors())
        Log::line(QStringLiteral("QML error: ") + error.toString());
    return view;
}

void AppDelegate::setupOverlayWindow()
{
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;

    connect(&m_screenshotManager, &ScreenshotManager::previewRequested, this,
            &AppDelegate::openEditor);
    connect(&m_screenshotManager, &ScreenshotManager::contextMenuRequested, this,
            &AppDelegate::showCaptureMenu);

    m_dragOut = std::make_unique<DragOut>(&m_screenshotManager, std::make_shared<TemporaryFiles>());
    m_panelShape = std::make_unique<PanelShape>(m_windowing.get());
    QQuickView *panel =
        makeView(QStringLiteral("capture/OverlayView.qml"),
                 {{QStringLiteral("manager"), QVariant::fromValue(&m_screenshotManager)},
                  {QStringLiteral("dragOut"), QVariant::fromValue(m_dragOut.get())},
                  {QStringLiteral("shape"), QVariant::fromValue(m_panelShape.get())}});
    m_overlayWindow.reset(panel);
    panel->setTitle(QStringLiteral("Orrinvale Stack"));
    Qt::WindowFlags flags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                            Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint;
    // Through XWayland, tiling compositors would move the panel (sway centres a floating
    // tool window); unmanaged, it stays at its place, above the others, on every workspace.
    if (currentDisplaySession() == DisplaySession::Wayland)
        flags |= Qt::X11BypassWindowManagerHint;
    panel->setFlags(flags);
    panel->setColor(Qt::transparent);
    panel->setGeometry(overlayGeometry(screen->geometry()));
    panel->create();
    m_windowing->keepOnAllDesktops(panel);
    // Shaped before it is first shown: the empty panel never catches a click or shows black.
    m_panelShape->attach(panel);
    panel->show();
}

void AppDelegate::setupMenuBar()
{
    m_menu = std::make_unique<QMenu>();
    QAction *take = m_menu->addAction(QStringLiteral("Take Screenshot"));
    take->setShortcut(QKeySequence(QStringLiteral("Ctrl+S")));
    connect(take, &QAction::triggered, this, &AppDelegate::takeScreenshotFromMenu);
    QAction *region = m_menu->addAction(QStringLiteral("Capture Region"));
    connect(region, &QAction::triggered, this,
            [this] { requestCapture(CaptureRequest::ofKind(CaptureRequest::Kind::SelectRegion)); });
    QAction *window = m_menu->addAction(QStringLiteral("Capture Window"));
    connect(window, &QAction::triggered, this,
            [this] { requestCapture(CaptureRequest::ofKind(CaptureRequest::Kind::Window)); });
    m_menu->addSeparator();
    QAction *settings = m_menu->addAction(QStringLiteral("Settings..."));
    settings->setShortcut(QKeySequence(QStringLiteral("Ctrl+,")));
    connect(settings, &QAction::triggered, this, &AppDelegate::openSettingsFromMenu);
    m_menu->addSeparator();
    QAction *quit = m_menu->addAction(QStringLiteral("Quit Orrinvale"));
    quit->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
    connect(quit, &QAction::triggered, this, &AppDelegate::quitRequested);

    m_statusItem =
        std::make_unique<QSystemTrayIcon>(QIcon(QStringLiteral(":/orrinvale/orrinvale.svg")));
    m_statusItem->setToolTip(QStringLiteral("Orrinvale"));
    m_statusItem->setContextMenu(m_menu.get());
    // A left click opens the same menu; the icon does nothing else.
    connect(m_statusItem.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    m_menu->popup(QCursor::pos());
            });
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        Log::line(QStringLiteral("No system tray available: Orrinvale runs without its icon; "
                                 "use orrinvale --take-screenshot and --toggle-stack."));
    }
    m_statusItem->show();
}

void AppDelegate::takeScreenshotFromMenu()
{
    QMetaObject::invokeMethod(&m_screenshotManager, &ScreenshotManager::takeScreenshot,
                              Qt::QueuedConnection);
}

void AppDelegate::requestCapture(const CaptureRequest &request)
{
    // Later, as the menu's other capture: the menu is closed and gone from the screen first.
    QMetaObject::invokeMethod(
        &m_screenshotManager, [this, request] { m_screenshotManager.request(request); },
        Qt::QueuedConnection);
}

void AppDelegate::openRegionOverlay(const DesktopPicture &picture, const QList<QRect> &windows)
{
    // A second request while one overlay is up replaces it: the first one ends unaccepted.
    if (m_regionOverlay->isOpen()) {
        closeRegionOverlay();
        m_screenshotManager.cancelRegion();
    }
    auto selection =
        std::make_unique<RegionSelection>(DesktopGeometry::fromApplication(), picture, windows);
    RegionSelection *state = selection.get();
    connect(state, &RegionSelection::accepted, this, [this, state](const QRect &region) {
        const DesktopPicture frozen = state->picture();
        closeRegionOverlay();
        m_screenshotManager.acceptRegion(frozen, region);
    });
    connect(state, &RegionSelection::cancelled, this, [this] {
        closeRegionOverlay();
        m_screenshotManager.cancelRegion();
    });
    m_regionOverlay->open(std::move(selection));
}

void AppDelegate::closeRegionOverlay()
{
    m_regionOverlay->close();
}

RegionOverlayWindows *AppDelegate::regionOverlay() const
{
    return m_regionOverlay->isOpen() ? m_regionOverlay.get() : nullptr;
}

void AppDelegate::openSettingsFromMenu()
{
    showSettingsWindow();
}

void AppDelegate::showSettingsWindow()
{
    if (!m_settingsWindow) {
        QQuickView *window =
            makeView(QStringLiteral("app/SettingsView.qml"),
                     {{QStringLiteral("preferences"), QVariant::fromValue(&m_preferences)},
                      {QStringLiteral("autostart"), QVariant::fromValue(&m_autostart)}});
        m_settingsWindow.reset(window);
        window->setTitle(QStringLiteral("Settings"));
        connect(window->rootObject(), SIGNAL(folderChoiceRequested()), this,
                SLOT(chooseSaveFolder()));
        new HideOnClose(window);
        window->setFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
        const QSize size(400, 350);
        window->setMinimumSize(size);
        window->setMaximumSize(size);
        window->resize(size);
        if (QScreen *screen = QGuiApplication::primaryScreen())
            window->setPosition(screen->availableGeometry().center() - QPoint(200, 175));
    }
    // The entry may have been changed behind our back since the window last showed it.
    m_autostart.refresh();
    m_settingsWindow->show();
    m_settingsWindow->raise();
    m_settingsWindow->requestActivate();
}

void AppDelegate::chooseSaveFolder()
{
    m_fileChooser->chooseFolder(
        m_settingsWindow.get(), &m_preferences, m_preferences.saveFolder(),
        [this](const QUrl &folder) { m_preferences.setSaveFolder(folder.toLocalFile()); });
}

void AppDelegate::openEditor(int index)
{
    if (index < 0 || index >= m_screenshotManager.count())
        return;
    // Never more than one editor: a new request replaces the open one.
    if (m_editorWindow) {
        m_editorWindow->hide();
        m_editorWindow->deleteLater();
        m_editorWindow = nullptr;
    }

    auto *session = new EditorSession(&m_screenshotManager, index);
    session->setImageSources(m_clipboard.get(), m_fileChooser.get());
    session->setClipboardCopy(m_clipboardCopy.get());
    session->setCaptureSaver(m_captureSaver.get());
    session->setTextCopy(m_textCopy.get());
    QQuickView *window =
        makeView(QStringLiteral("editor/EditorView.qml"),
                 {{QStringLiteral("session"), QVariant::fromValue(session)},
                  {QStringLiteral("preferences"), QVariant::fromValue(&m_preferences)}});
    session->setParent(window);
    session->setWindow(window);
    // The close request closes this window only, later, and only if it still exists.
    QPointer<QQuickView> weakWindow(window);
    session->setOnClose([weakWindow] {
        QMetaObject::invokeMethod(
            qApp,
            [weakWindow] {
                if (weakWindow)
                    weakWindow->close();
            },
            Qt::QueuedConnection);
    });
    // A closed editor is gone for good; as it hides, its session lets the editor keep its
    // unsaved edits as the capture's draft.
    connect(window, &QWindow::visibleChanged, window, [window](bool visible) {
        if (!visible)
            window->deleteLater();
    });

    window->setTitle(QStringLiteral("Screenshot Editor"));
    // The toolbar's two rows and a usable canvas need this much, and the toolbar more with a
    // larger font: the window follows it.
    window->setMinimumSize(QSize(editorMinimumWidth(window), 600));
    window->resize(std::max(1000, window->minimumWidth()), 750);
    connect(window->rootObject(), SIGNAL(minimumContentWidthChanged()), this,
            SLOT(followEditorMinimumWidth()));
    if (QScreen *screen = QGuiApplication::primaryScreen())
        window->setPosition(screen->availableGeometry().center() -
                            QPoint(window->width() / 2, window->height() / 2));
    m_editorWindow = window;
    window->show();
    window->raise();
    window->requestActivate();
}

void AppDelegate::followEditorMinimumWidth()
{
    if (!m_editorWindow)
        return;
    const int width = editorMinimumWidth(m_editorWindow);
    m_editorWindow->setMinimumWidth(width);
    if (m_editorWindow->width() >= width)
        return;
    // Wider, and moved left as far as it takes to stay on its screen.
    m_editorWindow->resize(width, m_editorWindow->height());
    if (const QScreen *screen = m_editorWindow->screen()) {
        const QRect available = screen->availableGeometry();
        if (m_editorWindow->x() + width > available.x() + available.width())
            m_editorWindow->setX(
                std::max(available.x(), available.x() + available.width() - width));
    }
}

void AppDelegate::showCaptureMenu(quint64 captureId)
{
    auto *menu = new QMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // Each item finds the capture by id when chosen: newer captures may have pushed it down,
    // or it may be gone.
    const auto onCapture = [this, captureId](auto act) {
        return [this, captureId, act] {
            const int index = m_screenshotManager.indexOfCapture(captureId);
            if (index >= 0)
                act(index);
        };
    };
    connect(menu->addAction(QStringLiteral("Edit")), &QAction::triggered, this,
            onCapture([this](int index) { openEditor(index); }));
    connect(menu->addAction(QStringLiteral("Copy")), &QAction::triggered, this,
            [this, captureId] { m_clipboardCopy->copyCapture(captureId); });
    connect(menu->addAction(QStringLiteral("Copy Text")), &QAction::triggered, this,
            [this, captureId] { m_textCopy->copyTextOfCapture(captureId); });
    connect(menu->addAction(QStringLiteral("Save")), &QAction::triggered, this,
            [this, captureId] { m_captureSaver->saveCapture(captureId); });
    connect(menu->addAction(QStringLiteral("Save As...")), &QAction::triggered, this,
            [this, captureId] { saveCaptureAs(captureId); });
    connect(menu->addAction(QStringLiteral("Pin")), &QAction::triggered, this,
            [this, captureId] { pinCapture(captureId); });
    menu->addSeparator();
    connect(menu->addAction(QStringLiteral("Remove")), &QAction::triggered, this,
            [this, captureId] { m_screenshotManager.removeCapture(captureId); });
    menu->popup(QCursor::pos());
}

void AppDelegate::saveCaptureAs(quint64 captureId)
{
    m_fileChooser->chooseSaveFile(nullptr, m_captureSaver.get(), m_captureSaver->suggestedPath(),
                                  [this, captureId](const QUrl &file) {
                                      m_captureSaver->saveCapture(captureId, file.toLocalFile());
                                  });
}

QList<QQuickView *> AppDelegate::pinWindows() const
{
    QList<QQuickView *> open;
    for (const QPointer<QQuickView> &pin : m_pinWindows) {
        if (pin)
            open.append(pin.data());
    }
    return open;
}

void AppDelegate::pinCapture(quint64 captureId)
{
    if (m_screenshotManager.indexOfCapture(captureId) < 0)
        return;
    const QPoint at = QCursor::pos();
    // A compressed capture is decoded off the UI thread first; the pin opens when it is.
    m_screenshotManager.store()->load(
        captureId, this, [this, captureId, at](const Result<QImage> &image) {
            if (!image.ok())
                return; // the store has said why
            auto *pin = new PinState(captureId, image.value());
            QQuickView *window = makeView(QStringLiteral("capture/PinView.qml"),
                                          {{QStringLiteral("pin"), QVariant::fromValue(pin)}});
            pin->setParent(window);
            window->setTitle(QStringLiteral("Orrinvale Pin"));
            window->setFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
            const auto follow = [window, pin] { window->resize(pin->size().toSize()); };
            follow();
            connect(pin, &PinState::zoomChanged, window, follow);
            connect(pin, &PinState::opacityChanged, window,
                    [window, pin] { window->setOpacity(pin->opacity()); });
            connect(pin, &PinState::closeRequested, window, &QWindow::close);
            connect(pin, &PinState::menuRequested, this, [this, pin] { showPinMenu(pin); });
            connect(pin, &PinState::dragOutRequested, this, [this, captureId] {
                if (m_dragOut)
                    m_dragOut->start(m_screenshotManager.indexOfCapture(captureId));
            });
            // A pin of a capture taken off the stack goes with it.
            connect(&m_screenshotManager, &ScreenshotManager::captureRemoved, window,
                    [window, captureId](quint64 removed) {
                        if (removed == captureId)
                            window->close();
                    });
            connect(window, &QWindow::visibleChanged, window, [window](bool visible) {
                if (!visible)
                    window->deleteLater();
            });
            // At the pointer, on its screen: a capture of the whole screen covers it.
            const QScreen *screen = QGuiApplication::screenAt(at);
            if (!screen)
                screen = QGuiApplication::primaryScreen();
            window->setPosition(
                screen ? PinState::placement(at, window->size(), screen->availableGeometry()) : at);
            window->create();
            m_windowing->keepOnAllDesktops(window);
            m_pinWindows.removeAll(nullptr);
            m_pinWindows.append(window);
            window->show();
            window->raise();
            window->requestActivate();
        });
}

void AppDelegate::showPinMenu(PinState *pin)
{
    auto *menu = new QMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const quint64 captureId = pin->captureId();
    const QPointer<PinState> weakPin(pin);
    // The pin shows its own pixels: they stay copyable and savable after the capture changed.
    const QImage image = pin->image();
    connect(menu->addAction(QStringLiteral("Copy")), &QAction::triggered, this,
            [this, image] { m_clipboardCopy->copyImage(image); });
    connect(
        menu->addAction(QStringLiteral("Save As...")), &QAction::triggered, this, [this, image] {
            m_fileChooser->chooseSaveFile(nullptr, m_captureSaver.get(),
                                          m_captureSaver->suggestedPath(),
                                          [this, image](const QUrl &file) {
                                              m_captureSaver->saveImage(image, file.toLocalFile());
                                          });
        });
    connect(menu->addAction(QStringLiteral("Edit")), &QAction::triggered, this,
            [this, captureId] { openEditor(m_screenshotManager.indexOfCapture(captureId)); });
    menu->addSeparator();
    connect(menu->addAction(QStringLiteral("Close")), &QAction::triggered, this, [weakPin] {
        if (weakPin)
            weakPin->close();
    });
    menu->popup(QCursor::pos());
}
