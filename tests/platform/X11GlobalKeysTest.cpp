#include "platform/X11GlobalKeys.h"

#include <QTest>

#include <algorithm>

namespace {

constexpr uint16_t Shift = XCB_MOD_MASK_SHIFT;
constexpr uint16_t Lock = XCB_MOD_MASK_LOCK;
constexpr uint16_t Ctrl = XCB_MOD_MASK_CONTROL;
constexpr uint16_t Alt = XCB_MOD_MASK_1;
constexpr uint16_t Mod2 = XCB_MOD_MASK_2;
constexpr uint16_t Mod3 = XCB_MOD_MASK_3;
constexpr uint16_t Super = XCB_MOD_MASK_4;

} // namespace

// Which key presses reach the program, with extra modifiers, locks and Num Lock on Mod2 or
// Mod3, is checked end to end on a real X server; here: the grab variants, finding Num Lock
// and which key code is which combination.
class X11GlobalKeysTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void modifierVariants_data()
    {
        QTest::addColumn<uint16_t>("numLockMask");
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<uint16_t>>("mustContain");

        QTest::newRow("Num Lock on Mod2")
            << Mod2 << 16
            << QList<uint16_t>{Ctrl | Shift, Ctrl | Shift | Alt, Ctrl | Shift | Mod2,
                               Ctrl | Shift | Lock | Mod2,
                               Ctrl | Shift | Alt | Super | Lock | Mod2};
        QTest::newRow("Num Lock on Mod3")
            << Mod3 << 16 << QList<uint16_t>{Ctrl | Shift | Mod3, Ctrl | Shift | Super | Mod3};
        QTest::newRow("Num Lock not mapped")
            << uint16_t(0) << 8 << QList<uint16_t>{Ctrl | Shift, Ctrl | Shift | Alt | Super | Lock};
        QTest::newRow("Num Lock sharing Super")
            << Super << 8 << QList<uint16_t>{Ctrl | Shift | Super};
    }

    void modifierVariants()
    {
        QFETCH(uint16_t, numLockMask);
        QFETCH(int, count);
        QFETCH(QList<uint16_t>, mustContain);

        const QList<uint16_t> variants = X11GlobalKeys::modifierVariants(numLockMask);

        QCOMPARE(variants.size(), count);
        QList<uint16_t> unique = variants;
        std::sort(unique.begin(), unique.end());
        QCOMPARE(std::unique(unique.begin(), unique.end()), unique.end());
        const uint16_t allowed = Ctrl | Shift | Alt | Super | Lock | numLockMask;
        for (uint16_t state : variants) {
            QCOMPARE(state & (Ctrl | Shift), Ctrl | Shift);
            QCOMPARE(state & ~allowed, 0);
        }
        for (uint16_t state : mustContain)
            QVERIFY2(variants.contains(state), qPrintable(QString::number(state, 16)));
    }

    void numLockMask_data()
    {
        QTest::addColumn<QList<QList<xcb_keycode_t>>>("modifierKeys");
        QTest::addColumn<uint16_t>("mask");

        // Key 77 is Num Lock, 66 Caps Lock, 64 Alt, 133 Super.
        QTest::newRow("usual Xorg map: Mod2")
            << QList<QList<xcb_keycode_t>>{{50, 62}, {66}, {37, 105},  {64, 108},
                                           {77, 0},  {},   {133, 134}, {92}}
            << Mod2;
        QTest::newRow("moved to Mod3")
            << QList<QList<xcb_keycode_t>>{{50}, {66}, {37}, {64}, {}, {77}, {133}, {}} << Mod3;
        QTest::newRow("not mapped")
            << QList<QList<xcb_keycode_t>>{{50}, {66}, {37}, {64}, {}, {}, {133}, {}}
            << uint16_t(0);
    }

    void numLockMask()
    {
        QFETCH(QList<QList<xcb_keycode_t>>, modifierKeys);
        QFETCH(uint16_t, mask);

        const auto keysymsOf = [](xcb_keycode_t keycode) -> QList<xcb_keysym_t> {
            switch (keycode) {
            case 77:
                return {0xff7f}; // Num_Lock
            case 66:
                return {0xffe5}; // Caps_Lock
            case 64:
                return {0xffe9, 0xffe7}; // Alt_L, Meta_L
            default:
                return {0x61};
            }
        };

        QCOMPARE(X11GlobalKeys::numLockMask(modifierKeys, keysymsOf), mask);
    }

    // The physical digit keys 1 to 4 (XKB codes 10 to 13) with Ctrl+Shift, whatever else.
    void matchesTheDigitKeys_data()
    {
        QTest::addColumn<int>("keycode");
        QTest::addColumn<uint16_t>("state");
        QTest::addColumn<int>("combination"); // -1: none

        using C = GlobalKeys::Combination;
        QTest::newRow("1") << 10 << uint16_t(Ctrl | Shift) << int(C::TakeScreenshot);
        QTest::newRow("2 with Num Lock")
            << 11 << uint16_t(Ctrl | Shift | Mod2) << int(C::ToggleStack);
        QTest::newRow("3") << 12 << uint16_t(Ctrl | Shift) << int(C::SelectRegion);
        QTest::newRow("4 with Alt and Super")
            << 13 << uint16_t(Ctrl | Shift | Alt | Super) << int(C::CaptureWindow);
        QTest::newRow("4 without Shift") << 13 << uint16_t(Ctrl) << -1;
        QTest::newRow("5") << 14 << uint16_t(Ctrl | Shift) << -1;
    }

    void matchesTheDigitKeys()
    {
        QFETCH(int, keycode);
        QFETCH(uint16_t, state);
        QFETCH(int, combination);

        const auto matched = X11GlobalKeys::match(xcb_keycode_t(keycode), state);

        QCOMPARE(matched ? int(*matched) : -1, combination);
    }
};

QTEST_GUILESS_MAIN(X11GlobalKeysTest)
#include "X11GlobalKeysTest.moc"
