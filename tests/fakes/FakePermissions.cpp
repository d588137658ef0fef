#include "FakePermissions.h"

bool FakePermissions::isTrusted()
{
    ++m_trustQueries;
    return m_trusted;
}

bool FakePermissions::isTrustedWithPrompt()
{
    ++m_trustQueries;
    if (!m_trusted)
        m_actions.append(QStringLiteral("prompt Accessibility"));
    return m_trusted;
}

void FakePermissions::requestScreenCapture()
{
    m_actions.append(QStringLiteral("request ScreenCapture"));
}

Result<std::monostate> FakePermissions::reset(const QString &service, const QString &appId)
{
    m_actions.append(QStringLiteral("reset %1 %2").arg(service, appId));
    if (m_resetFailures.contains(service))
        return Result<std::monostate>::failure(m_resetFailures.value(service));
    return std::monostate();
}
