#pragma once

#include "Permissions.h"

/**
 * Permissions on an X11 desktop: any client may grab keys and read the screen, and nothing
 * is stored, so there is nothing to ask and nothing to reset.
 */
class X11Permissions final : public Permissions
{
public:
    bool isTrusted() override { return true; }
    bool isTrustedWithPrompt() override { return true; }
    bool preflightScreenCapture() override { return true; }
    void requestScreenCapture() override {}
    Result<std::monostate> reset(const QString &, const QString &) override
    {
        return std::monostate();
    }
};
