#pragma once

#include "capture/CaptureRequest.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>

class CaptureSaver;
class ClipboardCopy;
class ScreenshotManager;
class TextCopy;

/**
 * The program's remote interface on the session bus: the commands of the command line as
 * methods, and the stack's state as properties that announce their changes.
 */
class DBusService : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.orrinvale.Orrinvale")
    Q_PROPERTY(int CaptureCount READ captureCount)
    Q_PROPERTY(bool StackVisible READ stackVisible)

public:
    static constexpr const char *ServiceName = "org.orrinvale.Orrinvale";
    static constexpr const char *ObjectPath = "/org/orrinvale/Orrinvale";
    static constexpr const char *InterfaceName = "org.orrinvale.Orrinvale";

    DBusService(ScreenshotManager *manager, QObject *parent = nullptr);

    /// Exports the object and takes the bus name; false when another instance holds it.
    /// Should the bus go away later, one line says the commands cannot reach us any more.
    bool registerOn(QDBusConnection bus);

    int captureCount() const;
    bool stackVisible() const;
    /// Brings the stack into view when it is hidden; no change when it is shown.
    void showStack();
    /// What CopyLatest uses; without it, the call fails.
    void setClipboardCopy(ClipboardCopy *copy) { m_clipboardCopy = copy; }
    /// What SaveLatest and LatestPng use; without it, they fail.
    void setCaptureSaver(CaptureSaver *saver) { m_captureSaver = saver; }
    /// What CopyTextOfLatest uses; without it, the call fails.
    void setTextCopy(TextCopy *copy) { m_textCopy = copy; }

    /// The error a command that cannot be done answers with; its message is the log line.
    static constexpr const char *FailedError = "org.orrinvale.Orrinvale.Error.Failed";

public Q_SLOTS:
    void TakeScreenshot();
    void ToggleStack();
    void Quit();
    // The capture commands; a refused value is answered with an InvalidArgs error that
    // names it.
    void SelectRegion();
    void CaptureRegion(int x, int y, int width, int height);
    void CaptureLastRegion();
    void CaptureWindow();
    void CaptureScreens(const QString &which);
    void Delayed(uint seconds, const QString &action);
    /// Empties the stack.
    void RemoveAll();
    /// Puts the newest capture on the clipboard; fails when the stack is empty.
    void CopyLatest();
    /// Saves the newest capture to `path`, or with "" to the save folder under the name
    /// pattern; answers with the path written once the file is complete.
    QString SaveLatest(const QString &path);
    /// The newest capture as PNG bytes (for orrinvale --save -).
    QByteArray LatestPng();
    /// Reads the text of the newest capture and puts it on the clipboard; answers with the
    /// text once it is there ("" when there was none), or fails saying why.
    QString CopyTextOfLatest();

Q_SIGNALS:
    void quitRequested();

private Q_SLOTS:
    // Private, so it is not exported as a method.
    void busLost();

private:
    void announce(const char *property, const QVariant &value);
    void submit(const Result<CaptureRequest> &request);

    /// Answers the call being handled with FailedError, when there is one.
    void fail(const QString &message);

    ScreenshotManager *m_manager;
    QDBusConnection m_bus;
    ClipboardCopy *m_clipboardCopy = nullptr;
    CaptureSaver *m_captureSaver = nullptr;
    TextCopy *m_textCopy = nullptr;
};
