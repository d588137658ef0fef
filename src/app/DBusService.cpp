#include "DBusService.h"

#include "ApplicationActivation.h"
#include "capture/CaptureSaver.h"
#include "capture/ClipboardCopy.h"
#include "capture/ScreenshotManager.h"
#include "ocr/TextCopy.h"
#include "platform/Log.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

DBusService::DBusService(ScreenshotManager *manager, QObject *parent)
    : QObject(parent), m_manager(manager), m_bus(QStringLiteral("not connected"))
{
    connect(m_manager, &ScreenshotManager::countChanged, this,
            [this] { announce("CaptureCount", captureCount()); });
    connect(m_manager, &ScreenshotManager::isVisibleChanged, this,
            [this] { announce("StackVisible", stackVisible()); });
    new ApplicationActivation(this);
}

bool DBusService::registerOn(QDBusConnection bus)
{
    if (!bus.isConnected())
        return false;
    if (!bus.registerObject(QString::fromLatin1(ObjectPath), this,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties |
                                QDBusConnection::ExportAdaptors)) {
        return false;
    }
    const auto reply = bus.interface()->registerService(
        QString::fromLatin1(ServiceName), QDBusConnectionInterface::DontQueueService,
        QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        bus.unregisterObject(QString::fromLatin1(ObjectPath));
        return false;
    }
    m_bus = bus;
    // The library tells its own connection, once, when the bus daemon has gone; the program
    // runs on through its keys and tray icon.
    bus.connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"),
                QStringLiteral("org.freedesktop.DBus.Local"), QStringLiteral("Disconnected"), this,
                SLOT(busLost()));
    return true;
}

void DBusService::busLost()
{
    Log::line(QStringLiteral("Lost the D-Bus session bus: orrinvale --take-screenshot and the "
                             "other commands cannot reach this instance."));
}

int DBusService::captureCount() const
{
    return m_manager->count();
}

bool DBusService::stackVisible() const
{
    return m_manager->isVisible();
}

void DBusService::TakeScreenshot()
{
    QMetaObject::invokeMethod(m_manager, &ScreenshotManager::takeScreenshot, Qt::QueuedConnection);
}

void DBusService::ToggleStack()
{
    QMetaObject::invokeMethod(m_manager, &ScreenshotManager::toggleVisibility,
                              Qt::QueuedConnection);
}

void DBusService::showStack()
{
    QMetaObject::invokeMethod(
        m_manager,
        [manager = m_manager] {
            if (!manager->isVisible())
                manager->toggleVisibility();
        },
        Qt::QueuedConnection);
}

void DBusService::Quit()
{
    // Queued, so the caller gets its reply before the process goes away.
    QMetaObject::invokeMethod(this, &DBusService::quitRequested, Qt::QueuedConnection);
}

void DBusService::SelectRegion()
{
    submit(CaptureRequest::ofKind(CaptureRequest::Kind::SelectRegion));
}

void DBusService::CaptureRegion(int x, int y, int width, int height)
{
    submit(CaptureRequest::ofRegion(QRect(x, y, width, height)));
}

void DBusService::CaptureLastRegion()
{
    submit(CaptureRequest::ofKind(CaptureRequest::Kind::LastRegion));
}

void DBusService::CaptureWindow()
{
    submit(CaptureRequest::ofKind(CaptureRequest::Kind::Window));
}

void DBusService::CaptureScreens(const QString &which)
{
    const auto screens = CaptureRequest::parseScreens(which);
    if (!screens.ok())
        return submit(Result<CaptureRequest>::failure(screens.error()));
    submit(CaptureRequest::ofScreens(screens.value()));
}

void DBusService::Delayed(uint seconds, const QString &action)
{
    const auto request = CaptureRequest::fromAction(action);
    if (!request.ok())
        return submit(request);
    const auto delay = CaptureRequest::parseDelay(QString::number(seconds));
    if (!delay.ok())
        return submit(Result<CaptureRequest>::failure(delay.error()));
    submit(request.value().after(delay.value()));
}

void DBusService::submit(const Result<CaptureRequest> &request)
{
    QString refusal;
    if (!request.ok()) {
        refusal = request.error();
        Log::line(QStringLiteral("Refused the capture: %1.").arg(refusal));
    } else {
        refusal = m_manager->request(request.value());
    }
    if (!refusal.isEmpty() && calledFromDBus())
        sendErrorReply(QDBusError::InvalidArgs, refusal);
}

void DBusService::RemoveAll()
{
    QMetaObject::invokeMethod(m_manager, &ScreenshotManager::removeAll, Qt::QueuedConnection);
}

void DBusService::CopyLatest()
{
    // The instance logs why too (the caller may be a script whose output nobody reads).
    if (!m_clipboardCopy || !m_clipboardCopy->copyLatest())
        fail(m_manager->count() == 0 ? QStringLiteral("Nothing to copy: the stack is empty.")
                                     : QStringLiteral("Copy failed."));
}

QString DBusService::SaveLatest(const QString &path)
{
    if (!m_captureSaver) {
        fail(QStringLiteral("Save failed."));
        return {};
    }
    if (!calledFromDBus()) {
        m_captureSaver->saveLatest(path);
        return {};
    }
    // The answer waits for the file; the UI goes on meanwhile.
    setDelayedReply(true);
    m_captureSaver->saveLatest(
        path, this, [bus = connection(), call = message()](const Result<QString> &written) {
            bus.send(written.ok() ? call.createReply(written.value())
                                  : call.createErrorReply(QString::fromLatin1(FailedError),
                                                          written.error()));
        });
    return {};
}

QByteArray DBusService::LatestPng()
{
    if (!m_captureSaver || !calledFromDBus()) {
        fail(QStringLiteral("Save failed."));
        return {};
    }
    setDelayedReply(true);
    m_captureSaver->encodeLatest(this, [bus = connection(),
                                        call = message()](const Result<QByteArray> &png) {
        bus.send(png.ok() ? call.createReply(png.value())
                          : call.createErrorReply(QString::fromLatin1(FailedError), png.error()));
    });
    return {};
}

QString DBusService::CopyTextOfLatest()
{
    if (!m_textCopy) {
        fail(QStringLiteral("Copy Text failed."));
        return {};
    }
    if (!calledFromDBus()) {
        m_textCopy->copyTextOfLatest();
        return {};
    }
    setDelayedReply(true);
    m_textCopy->copyTextOfLatest(this, [bus = connection(),
                                        call = message()](const Result<QString> &text) {
        bus.send(text.ok() ? call.createReply(text.value())
                           : call.createErrorReply(QString::fromLatin1(FailedError), text.error()));
    });
    return {};
}

void DBusService::fail(const QString &message)
{
    if (calledFromDBus())
        sendErrorReply(QString::fromLatin1(FailedError), message);
}

void DBusService::announce(const char *property, const QVariant &value)
{
    if (!m_bus.isConnected())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(
        QString::fromLatin1(ObjectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    signal << QString::fromLatin1(InterfaceName)
           << QVariantMap{{QString::fromLatin1(property), value}} << QStringList();
    m_bus.send(signal);
}
