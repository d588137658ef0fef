#pragma once

#include "Result.h"

#include <QString>

#include <memory>
#include <variant>

class GlobalKeys;

/**
 * The two permissions the program needs from the desktop and the erasing of a stored
 * decision. "Accessibility" trust means: the global key combinations can be installed;
 * "ScreenCapture" means: the screen may be read. The permission bootstrap and the global
 * shortcut ask it; there is one backend per kind of session and a fake for tests.
 */
class Permissions
{
public:
    /// Service names, as the reset takes them.
    static inline const QString Accessibility = QStringLiteral("Accessibility");
    static inline const QString ScreenCapture = QStringLiteral("ScreenCapture");

    virtual ~Permissions() = default;

    /// Whether the global key combinations can be installed, without asking anybody.
    virtual bool isTrusted() = 0;
    /// The same question; when the answer is no, the desktop is asked to let the user grant it.
    virtual bool isTrustedWithPrompt() = 0;
    /// False once trust can no longer come (the desktop has refused the key combinations for
    /// good and has said so): the bootstrap stops waiting for it, without a line of its own.
    virtual bool canStillBeTrusted() { return true; }
    /// Whether the screen may be read, without asking anybody.
    virtual bool preflightScreenCapture() = 0;
    /// Asks for screen reading where the user has not decided yet.
    virtual void requestScreenCapture() = 0;
    /// Erases the stored decision on `service` for the program `appId`, or says why not.
    virtual Result<std::monostate> reset(const QString &service, const QString &appId) = 0;

    /// The backend for the running session; on Wayland, key trust is `keys` being bound.
    static std::unique_ptr<Permissions> create(GlobalKeys *keys);
};
