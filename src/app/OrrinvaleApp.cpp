#include "OrrinvaleApp.h"

#include "app/AppDelegate.h"
#include "app/DBusService.h"
#include "app/WindowLayoutProbe.h"
#include "capture/CaptureSaver.h"
#include "capture/ClipboardCopy.h"
#include "ocr/TextCopy.h"
#include "platform/DesktopWindowing.h"
#include "platform/Log.h"
#include "platform/PlatformChoice.h"
#include "platform/ScreenCapture.h"
#include "platform/X11ConnectionLoss.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFileInfo>

#include <cstdio>

namespace {

void identify()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Orrinvale"));
    QCoreApplication::setApplicationName(QStringLiteral("Orrinvale"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORRINVALE_VERSION));
}

/// Another program's error text, as the one line we print: it may hold line breaks (a
/// traceback) or be very long.
QByteArray oneLine(const QString &text)
{
    QString line = text.simplified();
    if (line.size() > 300)
        line = line.left(300) + QStringLiteral("...");
    return line.toLocal8Bit();
}

} // namespace

int OrrinvaleApp::answerStatus(const QDBusMessage &reply)
{
    if (reply.type() != QDBusMessage::ErrorMessage)
        return 0;
    if (reply.errorName() == QDBusError::errorString(QDBusError::InvalidArgs)) {
        std::fprintf(stderr, "orrinvale: %s\n", oneLine(reply.errorMessage()).constData());
        return 2;
    }
    // Nothing was done: a script that goes on as if it had been would lose the capture.
    const QString name = reply.errorName();
    if (name == QDBusError::errorString(QDBusError::NoReply) ||
        name == QDBusError::errorString(QDBusError::Timeout) ||
        name == QDBusError::errorString(QDBusError::Disconnected)) {
        std::fprintf(stderr, "orrinvale: the running instance did not answer: %s\n",
                     oneLine(reply.errorMessage()).constData());
    } else {
        std::fprintf(stderr, "orrinvale: the running instance refused the command: %s\n",
                     oneLine(reply.errorMessage()).constData());
    }
    return 1;
}

std::optional<int> OrrinvaleApp::forwardToRunningInstance(CommandLine::Command command)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return std::nullopt;
    const QString service = QString::fromLatin1(DBusService::ServiceName);
    if (!bus.interface()->isServiceRegistered(service))
        return std::nullopt;

    QString method;
    switch (command) {
    case CommandLine::Command::TakeScreenshot:
        method = QStringLiteral("TakeScreenshot");
        break;
    case CommandLine::Command::ToggleStack:
        method = QStringLiteral("ToggleStack");
        break;
    case CommandLine::Command::Quit:
        method = QStringLiteral("Quit");
        break;
    case CommandLine::Command::Clear:
        method = QStringLiteral("RemoveAll");
        break;
    default:
        return 0; // a plain start with an instance running has nothing to do
    }
    return answerStatus(bus.call(
        QDBusMessage::createMethodCall(service, QString::fromLatin1(DBusService::ObjectPath),
                                       QString::fromLatin1(DBusService::InterfaceName), method),
        QDBus::Block, 10000));
}

std::optional<int> OrrinvaleApp::forwardCapture(const CaptureRequest &request)
{
    using Kind = CaptureRequest::Kind;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return std::nullopt;
    const QString service = QString::fromLatin1(DBusService::ServiceName);
    if (!bus.interface()->isServiceRegistered(service))
        return std::nullopt;

    const auto call = [&](const QString &method) {
        return QDBusMessage::createMethodCall(service, QString::fromLatin1(DBusService::ObjectPath),
                                              QString::fromLatin1(DBusService::InterfaceName),
                                              method);
    };
    QDBusMessage message;
    if (request.delaySeconds > 0) {
        message = call(QStringLiteral("Delayed"));
        message << uint(request.delaySeconds) << request.action();
    } else if (request.kind == Kind::Screens) {
        if (request.screens == CaptureRequest::Screens::Primary) {
            message = call(QStringLiteral("TakeScreenshot"));
        } else {
            message = call(QStringLiteral("CaptureScreens"));
            message << request.action().section(QLatin1Char(' '), 1);
        }
    } else if (request.kind == Kind::Region) {
        message = call(QStringLiteral("CaptureRegion"));
        message << request.region.x() << request.region.y() << request.region.width()
                << request.region.height();
    } else if (request.kind == Kind::LastRegion) {
        message = call(QStringLiteral("CaptureLastRegion"));
    } else if (request.kind == Kind::Window) {
        message = call(QStringLiteral("CaptureWindow"));
    } else {
        message = call(QStringLiteral("SelectRegion"));
    }
    return answerStatus(bus.call(message, QDBus::Block, 10000));
}

std::optional<int> OrrinvaleApp::forwardExport(const CommandLine &commandLine)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString service = QString::fromLatin1(DBusService::ServiceName);
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(service))
        return std::nullopt;
    const QString &path = commandLine.savePath;
    const bool toOutput = commandLine.command == CommandLine::Command::Save && path == "-";
    QString method = QStringLiteral("CopyLatest");
    if (commandLine.command == CommandLine::Command::CopyText)
        method = QStringLiteral("CopyTextOfLatest");
    if (commandLine.command == CommandLine::Command::Save)
        method = toOutput ? QStringLiteral("LatestPng") : QStringLiteral("SaveLatest");
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, QString::fromLatin1(DBusService::ObjectPath),
                                       QString::fromLatin1(DBusService::InterfaceName), method);
    // The running instance has its own working folder: a relative path is ours.
    if (method == QLatin1String("SaveLatest"))
        call << (path.isEmpty() ? QString() : QFileInfo(path).absoluteFilePath());
    // A save encodes and writes a 4K picture first: give it time.
    const QDBusMessage reply = bus.call(call, QDBus::Block, 60000);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        std::fprintf(stderr, "orrinvale: %s\n", oneLine(reply.errorMessage()).constData());
        return 1;
    }
    const QVariant answer = reply.arguments().value(0);
    if (toOutput) {
        const QByteArray png = answer.toByteArray();
        if (std::fwrite(png.constData(), 1, size_t(png.size()), stdout) != size_t(png.size()) ||
            std::fflush(stdout) != 0) {
            std::fprintf(stderr, "orrinvale: cannot write to standard output\n");
            return 1;
        }
    } else if (method == QLatin1String("SaveLatest")) {
        std::printf("Saved %s\n", qPrintable(answer.toString()));
    } else if (method == QLatin1String("CopyTextOfLatest")) {
        const QString text = answer.toString();
        if (text.isEmpty())
            std::printf("No text found in the capture.\n");
        else
            std::printf("Copied %lld characters of text.\n",
                        static_cast<long long>(text.toUcs4().size()));
    }
    return 0;
}

int OrrinvaleApp::run(const CommandLine &commandLine, int &argc, char **argv)
{
    using Command = CommandLine::Command;

    if (commandLine.command == Command::Quit) {
        // Quitting never starts anything, so it needs no display.
        QCoreApplication app(argc, argv);
        identify();
        // With nothing running there is nothing to quit.
        return forwardToRunningInstance(Command::Quit).value_or(0);
    }

    PlatformChoice::applyToEnvironment(); // the platform is read when the application is built
    QApplication app(argc, argv);
    identify();
    QGuiApplication::setDesktopFileName(QStringLiteral("org.orrinvale.Orrinvale"));
    X11ConnectionLoss::watch();

    if (commandLine.command == Command::Capture) {
        if (const std::optional<int> status = forwardCapture(commandLine.capture))
            return *status;
    } else if (commandLine.command == Command::Copy || commandLine.command == Command::Save ||
               commandLine.command == Command::CopyText) {
        if (const std::optional<int> status = forwardExport(commandLine))
            return *status;
    } else if (const std::optional<int> status = forwardToRunningInstance(commandLine.command)) {
        return *status;
    }

    // Nothing is shown or grabbed before the bus name is ours: of two launches at the same
    // moment, the one that loses the name forwards its command and leaves having taken no
    // key and opened no window, so the winner holds both combinations.
    AppDelegate delegate(createScreenCapture(), DesktopWindowing::create());
    DBusService remote(delegate.screenshotManager());
    remote.setClipboardCopy(delegate.clipboardCopy());
    remote.setCaptureSaver(delegate.captureSaver());
    remote.setTextCopy(delegate.textCopy());
    QObject::connect(&remote, &DBusService::quitRequested, &app, &QCoreApplication::quit);
    QObject::connect(&delegate, &AppDelegate::quitRequested, &app, &QCoreApplication::quit);
    if (commandLine.command == Command::Capture) {
        // A value the desktop refuses ends this launch as it ends a forwarded one.
        const QString refusal = delegate.screenshotManager()->refusal(commandLine.capture);
        if (!refusal.isEmpty()) {
            std::fprintf(stderr, "orrinvale: %s\n", qPrintable(refusal));
            return 2;
        }
    }

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        Log::line(QStringLiteral("No D-Bus session bus: orrinvale --take-screenshot and the "
                                 "other commands cannot reach this instance."));
    } else if (!remote.registerOn(bus)) {
        // Another instance took the name between our check and now: it is the one. Calls
        // wait in its queue until its launch is complete, so it can answer them all.
        if (commandLine.command == Command::Capture) {
            if (const std::optional<int> status = forwardCapture(commandLine.capture))
                return *status;
        }
        if (const std::optional<int> status = forwardToRunningInstance(commandLine.command))
            return *status;
        Log::line(QStringLiteral("Could not take the D-Bus name %1: commands from the command "
                                 "line cannot reach this instance.")
                      .arg(QString::fromLatin1(DBusService::ServiceName)));
    }

#ifdef ORRINVALE_TEST_HOOKS
    WindowLayoutProbe layoutProbe;
    if (bus.isConnected())
        bus.registerObject(QString::fromLatin1(WindowLayoutProbe::ObjectPath), &layoutProbe,
                           QDBusConnection::ExportAllSlots);
#endif

    delegate.applicationDidFinishLaunching();

    // A fresh instance has an empty stack: the command says so in its line.
    if (commandLine.command == Command::Copy)
        delegate.clipboardCopy()->copyLatest();
    if (commandLine.command == Command::Save)
        delegate.captureSaver()->saveLatest();
    if (commandLine.command == Command::CopyText)
        delegate.textCopy()->copyTextOfLatest();

    if (commandLine.command == Command::TakeScreenshot)
        delegate.takeScreenshotFromMenu();
    else if (commandLine.command == Command::Capture)
        delegate.requestCapture(commandLine.capture);
    else if (commandLine.command == Command::ToggleStack)
        QMetaObject::invokeMethod(delegate.screenshotManager(),
                                  &ScreenshotManager::toggleVisibility, Qt::QueuedConnection);

    return app.exec();
}
