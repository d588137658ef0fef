#pragma once

#include "Permissions.h"

/**
 * Where no backend can grant key combinations (a Wayland session without a global-shortcuts
 * client yet, or no desktop at all): never trusted, and asking changes nothing. Reading the
 * screen is left to the capture backend, which asks by itself; nothing is stored here.
 */
class UnavailablePermissions final : public Permissions
{
public:
    bool isTrusted() override { return false; }
    bool isTrustedWithPrompt() override { return false; }
    bool preflightScreenCapture() override { return true; }
    void requestScreenCapture() override {}
    Result<std::monostate> reset(const QString &, const QString &) override
    {
        return std::monostate();
    }
};
