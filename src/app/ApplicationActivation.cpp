#include "ApplicationActivation.h"

#include "DBusService.h"
#include "platform/Log.h"

ApplicationActivation::ApplicationActivation(DBusService *service)
    : QDBusAbstractAdaptor(service), m_service(service)
{}

void ApplicationActivation::Activate(const QVariantMap &)
{
    m_service->showStack();
}

void ApplicationActivation::Open(const QStringList &uris, const QVariantMap &)
{
    if (!uris.isEmpty())
        Log::line(QStringLiteral("Orrinvale opens no files; ignored %1 of them.").arg(uris.size()));
}

void ApplicationActivation::ActivateAction(const QString &actionName, const QVariantList &,
                                           const QVariantMap &)
{
    if (actionName == QLatin1String(TakeScreenshotAction))
        m_service->TakeScreenshot();
    else if (actionName == QLatin1String(ToggleStackAction))
        m_service->ToggleStack();
    else
        Log::line(QStringLiteral("Unknown action \"%1\"; ignored.").arg(actionName));
}
