// The tool keys: what a shortcut field keeps of any text, which tool any key press selects,
// and the US letter of any key code.

#include "FuzzSupport.h"
#include "shortcuts/HardwareKeyString.h"
#include "shortcuts/ShortcutKeyInput.h"
#include "shortcuts/ShortcutMatcher.h"

#include <QKeyEvent>
#include <QTextBoundaryFinder>

#include <fuzzer/FuzzedDataProvider.h>

namespace {

QString textOf(FuzzedDataProvider &input)
{
    QString text;
    const int length = input.ConsumeIntegralInRange(0, 12);
    for (int i = 0; i < length; ++i) {
        // Mostly characters that keys produce, now and then any UTF-16 unit (lone
        // surrogates included).
        switch (input.ConsumeIntegralInRange(0, 3)) {
        case 0:
            text.append(QChar(u'a' + input.ConsumeIntegralInRange(0, 25)));
            break;
        case 1:
            text.append(QChar(u'A' + input.ConsumeIntegralInRange(0, 25)));
            break;
        case 2: {
            // Combining marks, case mappings that change length, joiners, flags, skin tones,
            // Hangul jamo, right-to-left, a line break.
            static constexpr char32_t awkward[] = {0x0301, 0x0130,  0x00df,  0x1e9e,  0x01c5,
                                                   0x200d, 0x1f1eb, 0x1f44d, 0x1f3fd, 0x1100,
                                                   0x1161, 0x05d0,  u'\n'};
            const char32_t c = input.PickValueInArray(awkward);
            text.append(QString::fromUcs4(&c, 1));
            break;
        }
        default:
            text.append(QChar(input.ConsumeIntegral<char16_t>()));
        }
    }
    return text;
}

int graphemes(const QString &text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (finder.toNextBoundary() > 0)
        ++count;
    return count;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    startOffscreenApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);

    // The field keeps one key: the last character typed, lower-cased, settled at once.
    const QString typed = textOf(input);
    ShortcutKeyInput field;
    QString offered;
    QObject::connect(&field, &ShortcutKeyInput::keyEdited, [&](const QString &k) { offered = k; });
    field.edit(typed);
    const QString key = field.key();
    FUZZ_CHECK(offered == key, "the kept key is offered");
    FUZZ_CHECK(key.isEmpty() == typed.isEmpty(), "only an empty text keeps no key");
    FUZZ_CHECK(ShortcutKeyInput::normalized(key) == key, "a kept key is kept as it is");
    FUZZ_CHECK(graphemes(key) <= 1, "a kept key is one character");

    // The letter of a key code depends on the code alone.
    const quint32 code = input.ConsumeBool() ? input.ConsumeIntegralInRange<quint32>(0, 80)
                                             : input.ConsumeIntegral<quint32>();
    const std::optional<QString> letter = hardwareKeyString(code);
    FUZZ_CHECK(!letter || (letter->size() == 1 && letter->at(0) >= u'a' && letter->at(0) <= u'z'),
               "a key's letter is one of a to z");
    FUZZ_CHECK(letter == hardwareKeyString(code), "the same code names the same letter");

    ShortcutValues values;
    for (QString &value : values)
        value = input.ConsumeBool() ? key : ShortcutKeyInput::normalized(textOf(input));
    ShortcutKeyPress press;
    press.windowIsKey = input.ConsumeBool() || input.ConsumeBool();
    press.focusIsTextEditor = input.ConsumeBool() && input.ConsumeBool();
    press.modifiers = Qt::KeyboardModifiers(input.ConsumeIntegral<int>() & 0x7e000000);
    press.text = input.ConsumeBool() ? typed : textOf(input);
    press.nativeScanCode = code;

    const std::optional<ShortcutTool> tool = ShortcutMatcher::match(press, values);
    if (tool) {
        FUZZ_CHECK(press.windowIsKey && !press.focusIsTextEditor,
                   "only the key window outside a text field takes tool keys");
        FUZZ_CHECK(!(press.modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)),
                   "Ctrl, Alt and Super leave tool keys alone");
        const QString &value = values[size_t(*tool)];
        FUZZ_CHECK(!value.isEmpty(), "a cleared key is never reached");
        FUZZ_CHECK((!press.text.isEmpty() && press.text.toLower() == value) || letter == value,
                   "the tool's key is what was typed or the key's letter");
        for (size_t i = 0; i < size_t(*tool); ++i)
            FUZZ_CHECK(values[i] != value, "the first tool with that key wins");
    } else if (press.windowIsKey && !press.focusIsTextEditor &&
               !(press.modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        // A key that typed a tool's kept key selects that tool.
        for (const QString &value : values)
            FUZZ_CHECK(value.isEmpty() || value != press.text.toLower(), "a typed key matches");
    }

    // The facts of a real event are taken as they are. A press of Shift, Ctrl, Alt, Super or
    // AltGr itself is the one exception, by Qt's design: its event reports its own modifier
    // flipped (the state after the press), so the expected modifiers are flipped the same way.
    const int qtKey = input.ConsumeIntegral<int>();
    Qt::KeyboardModifiers expected = press.modifiers;
    switch (qtKey) {
    case Qt::Key_Shift:
        expected ^= Qt::ShiftModifier;
        break;
    case Qt::Key_Control:
        expected ^= Qt::ControlModifier;
        break;
    case Qt::Key_Alt:
        expected ^= Qt::AltModifier;
        break;
    case Qt::Key_Meta:
        expected ^= Qt::MetaModifier;
        break;
    case Qt::Key_AltGr:
        expected ^= Qt::GroupSwitchModifier;
        break;
    default:
        break;
    }
    const QKeyEvent event(QEvent::KeyPress, qtKey, press.modifiers, code, 0, 0, press.text);
    const ShortcutKeyPress fromEvent = ShortcutKeyPress::fromEvent(event, nullptr);
    FUZZ_CHECK(!fromEvent.windowIsKey && !fromEvent.focusIsTextEditor, "no window, no key window");
    FUZZ_CHECK(fromEvent.text == press.text && fromEvent.nativeScanCode == code &&
                   fromEvent.modifiers == expected,
               "the event's text, code and modifiers");
    return 0;
}
