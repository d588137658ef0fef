#pragma once

#include "platform/Preferences.h"

#include <QString>
#include <Qt>

#include <array>
#include <optional>

class QKeyEvent;
class QQuickItem;
class QWindow;

using ShortcutTool = Preferences::ShortcutTool;

/// The tool keys, indexed by ShortcutTool.
using ShortcutValues = std::array<QString, Preferences::shortcutToolCount>;

/** What the matcher needs to know of one key press. */
struct ShortcutKeyPress
{
    /// The press belongs to the window that has the keyboard focus.
    bool windowIsKey = false;
    /// That window's focus is in a text field or text area.
    bool focusIsTextEditor = false;
    Qt::KeyboardModifiers modifiers;
    /// The characters the key produced; empty when it produced none.
    QString text;
    /// The XKB key code of the physical key.
    quint32 nativeScanCode = 0;

    /// The facts of `event`, delivered to `window` (which may be null).
    static ShortcutKeyPress fromEvent(const QKeyEvent &event, const QWindow *window);
    /// Whether `item` (which may be null) takes typed text: keys are its, not the tools'.
    static bool isTextField(const QQuickItem *item);
};

/**
 * Decides which tool, if any, a key press selects in the editor. The editor's
 * application-wide key filter asks it about every key press, with the current values of
 * Preferences; a match selects the tool and swallows the press.
 */
namespace ShortcutMatcher {

/// The tool selected by `press`, or none: the press then goes on to its window.
std::optional<ShortcutTool> match(const ShortcutKeyPress &press, const ShortcutValues &values);

/// The values as they stand now.
ShortcutValues valuesOf(const Preferences &preferences);

} // namespace ShortcutMatcher
