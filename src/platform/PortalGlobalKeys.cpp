#include "PortalGlobalKeys.h"

#include "Log.h"
#include "PortalRequest.h"
#include "PortalShortcut.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>

namespace {

const QString Interface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");

QList<PortalShortcut> requestedShortcuts()
{
    const auto entry = [](GlobalKeys::Combination combination, const QString &description) {
        return PortalShortcut{PortalGlobalKeys::shortcutId(combination),
                              {{QStringLiteral("description"), description},
                               {QStringLiteral("preferred_trigger"),
                                GlobalKeys::name(combination).toUpper()}}}; // "CTRL+SHIFT+1"
    };
    return {entry(GlobalKeys::Combination::TakeScreenshot, QStringLiteral("Take Screenshot")),
            entry(GlobalKeys::Combination::ToggleStack, QStringLiteral("Show or Hide the Stack")),
            entry(GlobalKeys::Combination::SelectRegion, QStringLiteral("Capture Region")),
            entry(GlobalKeys::Combination::CaptureWindow, QStringLiteral("Capture Window"))};
}

QString unavailableLine(const QString &reason)
{
    return QStringLiteral("Global keys are unavailable (%1): bind \"orrinvale --take-screenshot\" "
                          "and \"orrinvale --toggle-stack\" to keys in the desktop's keyboard "
                          "shortcut settings.")
        .arg(reason);
}

} // namespace

QString PortalGlobalKeys::shortcutId(Combination combination)
{
    switch (combination) {
    case Combination::TakeScreenshot:
        return QStringLiteral("take-screenshot");
    case Combination::ToggleStack:
        return QStringLiteral("toggle-stack");
    case Combination::SelectRegion:
        return QStringLiteral("select-region");
    case Combination::CaptureWindow:
        return QStringLiteral("capture-window");
    }
    return QString();
}

PortalGlobalKeys::PortalGlobalKeys(QDBusConnection bus, int timeoutMs, QObject *parent)
    : GlobalKeys(parent), m_bus(std::move(bus)), m_timeoutMs(timeoutMs)
{
    PortalShortcut::registerTypes();
    m_worker.setMaxThreadCount(1);
}

PortalGlobalKeys::~PortalGlobalKeys()
{
    m_bus.disconnect(QString::fromLatin1(PortalRequest::PortalService),
                     QString::fromLatin1(PortalRequest::PortalPath), Interface,
                     QStringLiteral("Activated"), this,
                     SLOT(onActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    // The request may be waiting on the desktop's dialog for minutes: quitting abandons it.
    m_canceller.cancel();
    m_worker.waitForDone();
    if (!m_binding.sessionHandle.isEmpty()) {
        // The desktop drops the session's keys with it; nobody waits for the answer.
        m_bus.call(QDBusMessage::createMethodCall(
                       QString::fromLatin1(PortalRequest::PortalService), m_binding.sessionHandle,
                       QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Close")),
                   QDBus::NoBlock);
    }
}

void PortalGlobalKeys::askToInstall()
{
    if (m_state != State::Idle)
        return;
    m_state = State::Asking;
    QDBusConnection bus = m_bus;
    const int timeoutMs = m_timeoutMs;
    m_worker.start([this, bus, timeoutMs] {
        const Result<Binding> result = bind(bus, timeoutMs, &m_canceller);
        QMetaObject::invokeMethod(
            this, [this, result] { finishAsking(result); }, Qt::QueuedConnection);
    });
}

void PortalGlobalKeys::finishAsking(const Result<Binding> &result)
{
    if (result.ok()) {
        m_binding = result.value();
        m_state = State::Bound;
        // Subscribed only now, on this thread: a subscription made while the worker adds and
        // drops its Request subscriptions on the same connection never saw a signal.
        m_bus.connect(QString::fromLatin1(PortalRequest::PortalService),
                      QString::fromLatin1(PortalRequest::PortalPath), Interface,
                      QStringLiteral("Activated"), this,
                      SLOT(onActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    } else {
        m_state = State::Failed;
        Log::line(unavailableLine(result.error()));
    }
    Q_EMIT askFinished(m_state == State::Bound);
}

QList<GlobalKeys::Outcome> PortalGlobalKeys::install()
{
    QList<Outcome> outcomes;
    for (Combination combination : combinations()) {
        const bool bound =
            m_state == State::Bound && m_binding.boundIds.contains(shortcutId(combination));
        outcomes.append(
            {combination, bound,
             bound ? QString() : QStringLiteral("the desktop did not give it to the program")});
    }
    return outcomes;
}

void PortalGlobalKeys::onActivated(const QDBusObjectPath &sessionHandle, const QString &shortcutId,
                                   qulonglong, const QVariantMap &)
{
    if (m_state != State::Bound || sessionHandle.path() != m_binding.sessionHandle)
        return;
    for (Combination combination : combinations()) {
        if (shortcutId == PortalGlobalKeys::shortcutId(combination))
            Q_EMIT activated(combination);
    }
}

Result<PortalGlobalKeys::Binding> PortalGlobalKeys::bind(QDBusConnection bus, int timeoutMs,
                                                         WaitCanceller *canceller)
{
    using Failure = Result<Binding>;
    PortalShortcut::registerTypes();
    const QString service = QString::fromLatin1(PortalRequest::PortalService);
    const QString path = QString::fromLatin1(PortalRequest::PortalPath);
    const QList<PortalShortcut> shortcuts = requestedShortcuts();

    // Some desktops register the shortcuts only when they come with the session itself.
    QDBusMessage create =
        QDBusMessage::createMethodCall(service, path, Interface, QStringLiteral("CreateSession"));
    const QVariantMap createOptions{
        {QStringLiteral("session_handle_token"), QString::fromLatin1(SessionToken)},
        {QStringLiteral("shortcuts"), QVariant::fromValue(shortcuts)}};
    const auto created = PortalRequest::send(bus, create, createOptions, timeoutMs, canceller);
    if (!created.ok())
        return Failure::failure(created.error());
    if (created.value().code != 0)
        return Failure::failure(QStringLiteral("the desktop refused a shortcut session"));
    const QVariant handle = created.value().results.value(QStringLiteral("session_handle"));
    const QString sessionHandle = handle.canConvert<QDBusObjectPath>()
                                      ? handle.value<QDBusObjectPath>().path()
                                      : handle.toString();
    if (!sessionHandle.startsWith(QLatin1Char('/')))
        return Failure::failure(QStringLiteral("the portal named no shortcut session"));

    QDBusMessage bindCall =
        QDBusMessage::createMethodCall(service, path, Interface, QStringLiteral("BindShortcuts"));
    bindCall << QVariant::fromValue(QDBusObjectPath(sessionHandle))
             << QVariant::fromValue(shortcuts) << QString();
    const auto bound = PortalRequest::send(bus, bindCall, {}, timeoutMs, canceller);
    if (!bound.ok())
        return Failure::failure(bound.error());
    if (bound.value().code != 0)
        return Failure::failure(bound.value().code == 1
                                    ? QStringLiteral("the keys were refused on the desktop")
                                    : QStringLiteral("the desktop could not bind the keys"));

    Binding binding{sessionHandle, {}};
    const QVariant list = bound.value().results.value(QStringLiteral("shortcuts"));
    if (list.canConvert<QDBusArgument>()) {
        const auto given = qdbus_cast<QList<PortalShortcut>>(list.value<QDBusArgument>());
        for (const PortalShortcut &shortcut : given)
            binding.boundIds.append(shortcut.id);
    }
    return binding;
}
