#pragma once

#include "capture/ScreenshotManager.h"
#include "platform/Autostart.h"
#include "platform/Clipboard.h"
#include "platform/FileChooser.h"
#include "platform/GlobalKeys.h"
#include "platform/Permissions.h"
#include "platform/Preferences.h"

#include <QObject>
#include <QPointer>
#include <QQmlEngine>
#include <QQuickView>
#include <QRect>

#include <memory>

class CaptureSaver;
class ClipboardCopy;
class Clock;
class DesktopWindowing;
class DragOut;
class GlobalShortcut;
class PanelShape;
class PinState;
class PermissionBootstrap;
class QMenu;
class QSystemTrayIcon;
class RegionOverlayWindows;
class ScreenCapture;
class TextCopy;
class TextLanguages;

/**
 * Owns every long-lived object of the run: the screenshot manager, the preferences, the
 * permission bootstrap, the global key combinations, the stack panel, the tray icon with its
 * menu, the editor window and the settings window. Runs the launch
 * sequence and reacts to the menu, to the stack's request to edit a capture and to the
 * editor's request to close.
 */
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    /// `keys` and `permissions` default to the backends of the running session.
    AppDelegate(std::unique_ptr<ScreenCapture> capture, std::unique_ptr<DesktopWindowing> windowing,
                std::unique_ptr<GlobalKeys> keys = nullptr,
                std::unique_ptr<Permissions> permissions = nullptr, QObject *parent = nullptr);
    ~AppDelegate() override;

    /// The panel's place: a 250-wide column, full height, 20 in from the screen's right edge.
    static QRect overlayGeometry(const QRect &screenGeometry);

    ScreenshotManager *screenshotManager() { return &m_screenshotManager; }
    Preferences *preferences() { return &m_preferences; }
    QQuickView *overlayWindow() const { return m_overlayWindow.get(); }
    QQuickView *editorWindow() const { return m_editorWindow; }
    QQuickView *settingsWindow() const { return m_settingsWindow.get(); }
    /// The region overlay while it is open; null otherwise.
    RegionOverlayWindows *regionOverlay() const;
    /// The region overlay's windows, hidden or not.
    RegionOverlayWindows *regionOverlayWindows() const { return m_regionOverlay.get(); }
    QSystemTrayIcon *statusItem() const { return m_statusItem.get(); }
    QMenu *menu() const { return m_menu.get(); }
    ClipboardCopy *clipboardCopy() const { return m_clipboardCopy.get(); }
    CaptureSaver *captureSaver() const { return m_captureSaver.get(); }
    TextCopy *textCopy() const { return m_textCopy.get(); }

public Q_SLOTS:
    void applicationDidFinishLaunching();
    void takeScreenshotFromMenu();
    void openSettingsFromMenu();
    void showSettingsWindow();
    /// The settings' "Choose..." beside the save folder: the folder chooser, then the
    /// folder picked is the save folder.
    void chooseSaveFolder();
    void openEditor(int index);
    /// Hands `request` to the screenshot manager on a later turn of the event loop.
    void requestCapture(const CaptureRequest &request);
    /// The menu of one capture of the stack, at the pointer; its items act on that capture
    /// wherever it is by then.
    void showCaptureMenu(quint64 captureId);
    /// "Save As...": the file chooser, then the capture saved where the user said.
    void saveCaptureAs(quint64 captureId);
    /// "Pin": the capture in a frameless window on top of the others, at the pointer, on
    /// every workspace, at its natural size; several may be open.
    void pinCapture(quint64 captureId);
    /// The pins' windows open now (for tests).
    QList<QQuickView *> pinWindows() const;

Q_SIGNALS:
    void quitRequested();

private Q_SLOTS:
    /// The editor window's minimum width, again, after its toolbar changed.
    void followEditorMinimumWidth();

private:
    void bootstrapPermissions();
    void setupOverlayWindow();
    void setupGlobalShortcut();
    void setupMenuBar();
    QQuickView *makeView(const QString &qmlFile, const QVariantMap &properties);
    void openRegionOverlay(const DesktopPicture &picture, const QList<QRect> &windows);
    void closeRegionOverlay();
    void showPinMenu(PinState *pin);

    std::unique_ptr<DesktopWindowing> m_windowing;
    ScreenshotManager m_screenshotManager;
    Preferences m_preferences;
    Autostart m_autostart;
    std::unique_ptr<Permissions> m_permissions;
    std::unique_ptr<Clock> m_clock;
    std::unique_ptr<GlobalShortcut> m_globalShortcut;
    std::unique_ptr<PermissionBootstrap> m_permissionBootstrap;
    // Declared before the windows: they use it until they are gone.
    QQmlEngine m_engine;
    // The editors' sources of images; they outlive every editor window.
    std::unique_ptr<Clipboard> m_clipboard;
    std::unique_ptr<FileChooser> m_fileChooser;
    // Its offer on the clipboard outlives every editor and capture.
    std::unique_ptr<ClipboardCopy> m_clipboardCopy;
    std::unique_ptr<CaptureSaver> m_captureSaver;
    std::unique_ptr<TextLanguages> m_textLanguages;
    std::unique_ptr<TextCopy> m_textCopy;
    // Both outlive the panel, whose view refers to them.
    std::unique_ptr<DragOut> m_dragOut;
    std::unique_ptr<PanelShape> m_panelShape;
    std::unique_ptr<QQuickView> m_overlayWindow;
    QPointer<QQuickView> m_editorWindow;
    // Gone when the program quits, like the captures they show.
    QList<QPointer<QQuickView>> m_pinWindows;
    std::unique_ptr<QMenu> m_menu;
    std::unique_ptr<QSystemTrayIcon> m_statusItem;
    std::unique_ptr<QQuickView> m_settingsWindow;
    std::unique_ptr<RegionOverlayWindows> m_regionOverlay;
};
