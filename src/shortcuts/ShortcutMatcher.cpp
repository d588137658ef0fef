#include "ShortcutMatcher.h"

#include "shortcuts/HardwareKeyString.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QQuickItem>
#include <QQuickWindow>

ShortcutKeyPress ShortcutKeyPress::fromEvent(const QKeyEvent &event, const QWindow *window)
{
    ShortcutKeyPress press;
    press.windowIsKey = window && window == QGuiApplication::focusWindow();
    if (const auto *quickWindow = qobject_cast<const QQuickWindow *>(window)) {
        press.focusIsTextEditor = isTextField(quickWindow->activeFocusItem());
    }
    press.modifiers = event.modifiers();
    press.text = event.text();
    press.nativeScanCode = event.nativeScanCode();
    return press;
}

bool ShortcutKeyPress::isTextField(const QQuickItem *item)
{
    // TextField and TextArea derive from these two.
    return item && (item->inherits("QQuickTextInput") || item->inherits("QQuickTextEdit"));
}

namespace ShortcutMatcher {

std::optional<ShortcutTool> match(const ShortcutKeyPress &press, const ShortcutValues &values)
{
    if (!press.windowIsKey || press.focusIsTextEditor)
        return std::nullopt;
    // Ctrl, Alt and Super belong to other commands (Ctrl+V pastes); Shift, Caps Lock and
    // the keypad do not stop a tool key.
    if (press.modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return std::nullopt;

    // A key that produces no characters has no text to match: an empty (cleared) value
    // must never be reached by it.
    std::optional<QString> typed;
    if (!press.text.isEmpty())
        typed = press.text.toLower();
    const std::optional<QString> physical = hardwareKeyString(press.nativeScanCode);

    for (size_t i = 0; i < values.size(); ++i) {
        const QString &value = values[i];
        if ((typed && *typed == value) || (physical && *physical == value))
            return static_cast<ShortcutTool>(i);
    }
    return std::nullopt;
}

ShortcutValues valuesOf(const Preferences &preferences)
{
    ShortcutValues values;
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = preferences.shortcut(ShortcutTool(i));
    return values;
}

} // namespace ShortcutMatcher
