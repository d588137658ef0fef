#pragma once

#include <QString>

#include <optional>

/**
 * The letter printed on a physical key in the US layout, named by its XKB key code (what Qt
 * reports as QKeyEvent::nativeScanCode() on X11 and Wayland), or none for a key that is not one
 * of the 26 letters. It depends on the key's position alone, never on the layout, so a tool key
 * works on any keyboard. Used by ShortcutMatcher.
 */
std::optional<QString> hardwareKeyString(quint32 keyCode);
