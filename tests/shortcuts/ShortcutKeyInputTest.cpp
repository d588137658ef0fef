#include "shortcuts/ShortcutKeyInput.h"

#include <QSignalSpy>
#include <QTest>

class ShortcutKeyInputTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void normalized_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");

        auto row = [](const char *name, const char *typed, const char *kept) {
            QTest::newRow(name) << QString::fromUtf8(typed) << QString::fromUtf8(kept);
        };
        row("cleared", "", "");
        row("upper case", "X", "x");
        row("typed after the old key", "vk", "k");
        row("pasted word", "Hello", "o");
        row("non-Latin", "\xd0\x96", "\xd0\xb6");
        row("combining accent after a key", "ve\xcc\x81", "e\xcc\x81");
        row("two flags", "\xf0\x9f\x87\xab\xf0\x9f\x87\xb7\xf0\x9f\x87\xa9\xf0\x9f\x87\xaa",
            "\xf0\x9f\x87\xa9\xf0\x9f\x87\xaa");
        row("family joined by ZWJ",
            "a\xf0\x9f\x91\xa8\xe2\x80\x8d\xf0\x9f\x91\xa9\xe2\x80\x8d\xf0\x9f\x91\xa7",
            "\xf0\x9f\x91\xa8\xe2\x80\x8d\xf0\x9f\x91\xa9\xe2\x80\x8d\xf0\x9f\x91\xa7");
        row("skin tone", "x\xf0\x9f\x91\x8d\xf0\x9f\x8f\xbd", "\xf0\x9f\x91\x8d\xf0\x9f\x8f\xbd");
        row("capital sharp s after a key", "v\xe1\xba\x9e", "\xc3\x9f");
        row("dotted capital I", "\xc4\xb0", "i\xcc\x87");
        row("title-case digraph", "\xc7\x85", "\xc7\x86");
        row("Hangul syllable from jamo", "a\xe1\x84\x80\xe1\x85\xa1", "\xe1\x84\x80\xe1\x85\xa1");
        // Found by fuzzing: after the Latin "v" the two are one cluster, alone they are two.
        row("Malayalam sign after a private-use character", "v\xee\xb3\xbf\xe0\xb4\x80",
            "\xe0\xb4\x80");
    }

    void normalized()
    {
        QFETCH(QString, typed);
        QFETCH(QString, kept);

        const QString once = ShortcutKeyInput::normalized(typed);

        QCOMPARE(once, kept);
        QCOMPARE(ShortcutKeyInput::normalized(once), once); // settles at once
    }

    // An edit is offered for storing even when the kept key is the old one, so the field
    // drops the extra character.
    void editOffersTheKeptKey_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::newRow("new key") << "vK"
                                 << "k";
        QTest::newRow("same key again") << "vv"
                                        << "v";
    }

    void editOffersTheKeptKey()
    {
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        ShortcutKeyInput input;
        input.setKey(QStringLiteral("v"));
        QSignalSpy edited(&input, &ShortcutKeyInput::keyEdited);
        QSignalSpy changed(&input, &ShortcutKeyInput::keyChanged);

        input.edit(typed);

        QCOMPARE(input.key(), kept);
        QCOMPARE(edited.count(), 1);
        QCOMPARE(edited.at(0).at(0).toString(), kept);
        QCOMPARE(changed.count(), 1);
    }

    void storedChangeIsShownButNotOffered()
    {
        ShortcutKeyInput input;
        QSignalSpy edited(&input, &ShortcutKeyInput::keyEdited);
        QSignalSpy changed(&input, &ShortcutKeyInput::keyChanged);

        input.setKey(QStringLiteral("Word"));
        input.setKey(QStringLiteral("Word"));

        QCOMPARE(input.key(), QStringLiteral("Word")); // a stored value is shown as stored
        QCOMPARE(changed.count(), 1);
        QCOMPARE(edited.count(), 0);
    }
};

QTEST_GUILESS_MAIN(ShortcutKeyInputTest)
#include "ShortcutKeyInputTest.moc"
