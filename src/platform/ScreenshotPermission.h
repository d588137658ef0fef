#pragma once

#include "Result.h"

#include <QDBusConnection>

#include <variant>

/**
 * The screenshot portal's stored decision for this program in the desktop's permission
 * store (table "screenshot", id "screenshot"). PortalPermissions reads it at start-up and
 * erases it on a reset; PortalScreenCapture reads it again before every capture, since the
 * user may take the permission back at any time.
 */
class ScreenshotPermission
{
public:
    static constexpr const char *Table = "screenshot";
    static constexpr const char *Id = "screenshot";
    static constexpr int StoreTimeoutMs = 3000;

    explicit ScreenshotPermission(QDBusConnection bus);

    /// False only when the store holds a "no" for this program. Nothing stored, or no
    /// store at all, is not a refusal: the portal asks by itself when a capture comes.
    bool isAllowed() const;
    /// Deletes the stored decision; nothing stored is nothing to erase.
    Result<std::monostate> erase() const;

private:
    QDBusConnection m_bus;
};
