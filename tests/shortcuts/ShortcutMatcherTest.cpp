#include "shortcuts/ShortcutMatcher.h"
#include "platform/Preferences.h"
#include "shortcuts/HardwareKeyString.h"

#include <QKeyEvent>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QStringList defaults = {"v", "t", "d", "r", "l", "a", "e", "h", "n", "x", "c"};
constexpr int none = -1;

ShortcutValues valuesFrom(const QStringList &list)
{
    ShortcutValues values;
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = list.at(qsizetype(i));
    return values;
}

QStringList with(int index, const QString &value, QStringList list = defaults)
{
    list[index] = value;
    return list;
}

} // namespace

class ShortcutMatcherTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void hardwareKeyStringNamesTheUsLetterPositions()
    {
        // The three letter rows of a US keyboard start at these X key codes.
        for (const auto &[first, letters] : {std::pair<uint, const char *>{24, "qwertyuiop"},
                                             {38, "asdfghjkl"},
                                             {52, "zxcvbnm"}}) {
            for (uint i = 0; letters[i]; ++i)
                QCOMPARE(hardwareKeyString(first + i), std::optional(QString(QChar(letters[i]))));
        }
        // Digit 1, Escape, Tab, Return, Left Ctrl, the keys just past each letter row, space,
        // nothing, and codes out of range.
        for (uint code : {10u, 9u, 23u, 34u, 36u, 37u, 47u, 59u, 65u, 0u, 256u, 65536u + 55u})
            QVERIFY2(!hardwareKeyString(code), qPrintable(QString::number(code)));
    }

    void match_data()
    {
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("text");
        QTest::addColumn<uint>("code");
        QTest::addColumn<bool>("windowIsKey");
        QTest::addColumn<bool>("textFocus");
        QTest::addColumn<int>("tool");

        const int noMods = Qt::NoModifier;
        auto row = [&](const char *name, const QStringList &values, int modifiers,
                       const QString &text, uint code, int tool) {
            QTest::newRow(name) << values << modifiers << text << code << true << false << tool;
        };

        // Each default on a US layout, through both the typed letter and the key position.
        row("v selects pointer", defaults, noMods, "v", 55, 0);
        row("d selects pen", defaults, noMods, "d", 40, 2);
        row("a selects arrow", defaults, noMods, "a", 38, 5);
        row("other letter", defaults, noMods, "k", 45, none);

        // Layouts.
        row("Shift", defaults, Qt::ShiftModifier, "V", 55, 0);
        row("Caps Lock", defaults, noMods, "V", 55, 0);
        row("Cyrillic on the V key", defaults, noMods, QString::fromUtf8("\xd0\xbc"), 55, 0);
        row("a on the US Q key", defaults, noMods, "a", 24, 5);
        row("q on the US A key", defaults, noMods, "q", 38, 5);
        row("no text, V key", defaults, noMods, "", 55, 0);

        // Order: per tool A then B; an earlier tool wins.
        row("B of an earlier tool beats A of a later", with(0, "q"), noMods, "a", 24, 0);
        row("A of a later tool still reached without B", with(0, "q"), noMods, "a", 38, 5);
        row("same value, pointer and pen", with(2, "v"), noMods, "v", 55, 0);
        row("same value, later one by its own key", with(4, "t"), noMods, "l", 46, none);

        // Modifiers.
        row("Ctrl blocks", defaults, Qt::ControlModifier, "\x16", 55, none);
        row("Alt blocks", defaults, Qt::AltModifier, "v", 55, none);
        row("keypad does not block", with(2, "1"), Qt::KeypadModifier, "1", 87, 2);
        row("AltGr does not block", with(2, "@"), Qt::GroupSwitchModifier, "@", 24, 2);

        // Stored values.
        row("upper case stored, upper case typed", with(2, "D"), Qt::ShiftModifier, "D", 40, none);
        row("a word stored", with(2, "dd"), noMods, "d", 40, none);
        row("accented letter stored", with(2, QString::fromUtf8("\xc3\xa9")), noMods,
            QString::fromUtf8("\xc3\x89"), 19, 2);
        row("space stored", with(2, " "), noMods, " ", 65, 2);
        row("empty stored, key without text", with(2, ""), noMods, "", 9, none);
        row("empty stored, its letter", with(2, ""), noMods, "d", 40, none);

        // Where the key press happens.
        QTest::newRow("window not key")
            << defaults << noMods << "v" << 55u << false << false << none;
        QTest::newRow("typing in a text box")
            << defaults << noMods << "t" << 28u << true << true << none;
        QTest::newRow("Ctrl+V in a text box")
            << defaults << int(Qt::ControlModifier) << "\x16" << 55u << true << true << none;
    }

    void match()
    {
        QFETCH(QStringList, values);
        QFETCH(int, modifiers);
        QFETCH(QString, text);
        QFETCH(uint, code);
        QFETCH(bool, windowIsKey);
        QFETCH(bool, textFocus);
        QFETCH(int, tool);
        ShortcutKeyPress press;
        press.windowIsKey = windowIsKey;
        press.focusIsTextEditor = textFocus;
        press.modifiers = Qt::KeyboardModifiers(modifiers);
        press.text = text;
        press.nativeScanCode = code;

        const std::optional<ShortcutTool> matched =
            ShortcutMatcher::match(press, valuesFrom(values));

        QCOMPARE(matched ? int(*matched) : none, tool);
    }

    void valuesFollowThePreferences()
    {
        QTemporaryDir dir;
        Preferences preferences(dir.filePath(QStringLiteral("Orrinvale.conf")));
        ShortcutKeyPress press{true, false, Qt::NoModifier, QStringLiteral("k"), 45};
        QCOMPARE(ShortcutMatcher::valuesOf(preferences), valuesFrom(defaults));
        QVERIFY(!ShortcutMatcher::match(press, ShortcutMatcher::valuesOf(preferences)));

        preferences.setShortcut(Preferences::Line, QStringLiteral("k"));

        QCOMPARE(ShortcutMatcher::match(press, ShortcutMatcher::valuesOf(preferences)),
                 std::optional(Preferences::Line));
    }

    void factsOfAKeyEvent()
    {
        QQmlEngine engine;
        QQmlComponent component(&engine);
        component.setData("import QtQuick\nimport QtQuick.Controls\n"
                          "Window { width: 200; height: 100; visible: true\n"
                          "  property alias field: field\n  property alias plain: plain\n"
                          "  TextField { id: field }\n  Item { id: plain; focus: true } }",
                          QUrl());
        std::unique_ptr<QObject> object(component.create());
        auto *window = qobject_cast<QQuickWindow *>(object.get());
        QVERIFY2(window, qPrintable(component.errorString()));
        window->requestActivate();
        QVERIFY(QTest::qWaitForWindowActive(window));
        const QKeyEvent shiftV(QEvent::KeyPress, Qt::Key_V, Qt::ShiftModifier, 55, 0x56, 0,
                               QStringLiteral("V"));

        const ShortcutKeyPress onPlainItem = ShortcutKeyPress::fromEvent(shiftV, window);
        window->property("field").value<QQuickItem *>()->forceActiveFocus();
        const ShortcutKeyPress inField = ShortcutKeyPress::fromEvent(shiftV, window);
        const ShortcutKeyPress noWindow = ShortcutKeyPress::fromEvent(shiftV, nullptr);

        QVERIFY(onPlainItem.windowIsKey);
        QVERIFY(!onPlainItem.focusIsTextEditor);
        QCOMPARE(onPlainItem.modifiers, Qt::KeyboardModifiers(Qt::ShiftModifier));
        QCOMPARE(onPlainItem.text, QStringLiteral("V"));
        QCOMPARE(onPlainItem.nativeScanCode, 55u);
        QVERIFY(inField.focusIsTextEditor);
        QVERIFY(!noWindow.windowIsKey);
    }
};

QTEST_MAIN(ShortcutMatcherTest)
#include "ShortcutMatcherTest.moc"
