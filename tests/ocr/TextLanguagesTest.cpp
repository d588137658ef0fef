#include "ocr/TextLanguages.h"
#include "platform/Preferences.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

void install(const QTemporaryDir &folder, const QStringList &files)
{
    for (const QString &name : files) {
        QFile file(folder.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
}

} // namespace

class TextLanguagesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void installedAreTheDataFilesButOsd()
    {
        QTemporaryDir folder;
        install(folder, {"eng.traineddata", "deu.traineddata", "osd.traineddata",
                         "chi_sim.traineddata", "notes.txt", "pdf.ttf"});

        QCOMPARE(TextLanguages::installedIn(folder.path()), (QStringList{"chi_sim", "deu", "eng"}));
        QCOMPARE(TextLanguages::installedIn(folder.filePath("missing")), QStringList());
    }

    void defaults_data()
    {
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QStringList>("chosen");

        QTest::newRow("English and the locale's")
            << QStringList{"deu", "eng"} << "de_DE" << QStringList{"eng", "deu"};
        QTest::newRow("the locale's not installed")
            << QStringList{"deu", "eng"} << "fr_FR" << QStringList{"eng"};
        QTest::newRow("an English locale") << QStringList{"eng"} << "en_GB" << QStringList{"eng"};
        QTest::newRow("the C locale") << QStringList{"eng"} << "C" << QStringList{"eng"};
        QTest::newRow("no English: the locale's")
            << QStringList{"fra", "spa"} << "es_ES" << QStringList{"spa"};
        QTest::newRow("neither: the first installed")
            << QStringList{"fra", "spa"} << "de_DE" << QStringList{"fra"};
        QTest::newRow("simplified Chinese")
            << QStringList{"chi_sim", "chi_tra", "eng"} << "zh_CN" << QStringList{"eng", "chi_sim"};
        QTest::newRow("traditional Chinese")
            << QStringList{"chi_sim", "chi_tra", "eng"} << "zh_TW" << QStringList{"eng", "chi_tra"};
        QTest::newRow("nothing installed") << QStringList{} << "de_DE" << QStringList{};
    }

    void defaults()
    {
        QFETCH(QStringList, installed);
        QFETCH(QString, locale);
        QFETCH(QStringList, chosen);

        QCOMPARE(TextLanguages::defaultsAmong(installed, QLocale(locale)), chosen);
    }

    void packages()
    {
        QCOMPARE(TextLanguages::packageFor("eng"), QString("tesseract-ocr-eng"));
        QCOMPARE(TextLanguages::packageFor("chi_sim"), QString("tesseract-ocr-chi-sim"));
    }

    // The choice is stored, only installed languages count, and one always stays.
    void choosing()
    {
        QTemporaryDir folder;
        install(folder, {"eng.traineddata", "deu.traineddata", "fra.traineddata"});
        Preferences preferences(folder.filePath("prefs.conf"));
        TextLanguages languages(folder.path(), QLocale("de_DE"));
        languages.setPreferences(&preferences);
        QSignalSpy changed(&languages, &TextLanguages::chosenChanged);
        QCOMPARE(languages.chosen(), (QStringList{"eng", "deu"}));

        languages.setChosen("fra", true);
        QCOMPARE(languages.chosen(), (QStringList{"eng", "deu", "fra"}));
        languages.setChosen("eng", false);
        languages.setChosen("deu", false);
        languages.setChosen("fra", false);
        QCOMPARE(languages.chosen(), (QStringList{"fra"}));
        languages.setChosen("ita", true);
        QCOMPARE(languages.chosen(), (QStringList{"fra"}));
        QCOMPARE(Preferences(folder.filePath("prefs.conf")).textLanguages(), (QStringList{"fra"}));
        QVERIFY(changed.size() >= 3);

        // A chosen language whose data went away is not read; with none left, the defaults.
        preferences.setTextLanguages({"ita", "fra"});
        QCOMPARE(languages.chosen(), (QStringList{"fra"}));
        preferences.setTextLanguages({"ita"});
        QCOMPARE(languages.chosen(), (QStringList{"eng", "deu"}));
    }

    void displayNames()
    {
        QCOMPARE(TextLanguages::displayName("deu"), QString("German (deu)"));
        QCOMPARE(TextLanguages::displayName("xyz_frak"), QString("xyz_frak"));
    }
};

QTEST_GUILESS_MAIN(TextLanguagesTest)
#include "TextLanguagesTest.moc"
