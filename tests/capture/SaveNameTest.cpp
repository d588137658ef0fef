#include "capture/SaveName.h"

#include <QTest>

class SaveNameTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qputenv("TZ", "UTC"); }

    void expandsFieldsAndTheCounter_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<int>("counter");
        QTest::addColumn<QString>("name");

        QTest::newRow("the default")
            << "Screenshot from %Y-%m-%d %H-%M-%S" << 1 << "Screenshot from 2026-03-04 05-06-07";
        QTest::newRow("the counter") << "Shot %n" << 12 << "Shot 12";
        QTest::newRow("a percent sign before n") << "100%%n" << 3 << "100%n";
        QTest::newRow("a lone percent sign at the end") << "50%" << 1 << "50%";
        QTest::newRow("a slash stays in the folder") << "%Y/%m" << 1 << "2026-03";
        QTest::newRow("nothing left") << "  " << 1 << "Screenshot";
        QTest::newRow("a folder's name") << ".." << 1 << "Screenshot";
        QTest::newRow("plain text") << "capture" << 1 << "capture";
    }

    void expandsFieldsAndTheCounter()
    {
        QFETCH(QString, pattern);
        QFETCH(int, counter);
        QFETCH(QString, name);
        const QDateTime when(QDate(2026, 3, 4), QTime(5, 6, 7), Qt::UTC);

        QCOMPARE(SaveName::expand(pattern, when, counter), name);
    }

    // Attempt after attempt: a pattern with %n counts up, one without gets " (n)" before
    // the extension.
    void attemptsNameTheFileDifferently_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QStringList>("names");

        QTest::newRow("no counter")
            << "Shot" << QStringList{"Shot.png", "Shot (2).png", "Shot (3).png"};
        QTest::newRow("a counter")
            << "Shot %n" << QStringList{"Shot 1.png", "Shot 2.png", "Shot 3.png"};
        QTest::newRow("an escaped n is no counter")
            << "Shot %%n" << QStringList{"Shot %n.png", "Shot %n (2).png", "Shot %n (3).png"};
    }

    void attemptsNameTheFileDifferently()
    {
        QFETCH(QString, pattern);
        QFETCH(QStringList, names);
        const QDateTime when(QDate(2026, 3, 4), QTime(5, 6, 7), Qt::UTC);

        for (int attempt = 1; attempt <= names.size(); ++attempt)
            QCOMPARE(SaveName::candidate(pattern, when, ".png", attempt), names.at(attempt - 1));
    }
};

QTEST_APPLESS_MAIN(SaveNameTest)
#include "SaveNameTest.moc"
