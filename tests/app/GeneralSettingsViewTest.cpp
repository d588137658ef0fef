#include "platform/Autostart.h"
#include "platform/Preferences.h"

#include <QDir>
#include <QFile>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QTemporaryDir>
#include <QTest>

// The General tab's row of Copy Text's languages, as the Settings window shows it.
class GeneralSettingsViewTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    // The language data folder is read as a view is made.
    void install(const QString &folder, const QStringList &names)
    {
        const QString data = m_dir.filePath(folder);
        QVERIFY(QDir().mkpath(data));
        for (const QString &name : names) {
            QFile file(data + QStringLiteral("/%1.traineddata").arg(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        qputenv("TESSDATA_PREFIX", data.toLocal8Bit());
    }

    std::unique_ptr<QQuickView> makeView(const QString &file, Preferences *preferences,
                                         Autostart *autostart)
    {
        auto view = std::make_unique<QQuickView>();
        view->engine()->addImportPath(QStringLiteral("qrc:/qt/qml"));
        view->setInitialProperties({{"preferences", QVariant::fromValue(preferences)},
                                    {"autostart", QVariant::fromValue(autostart)}});
        view->setSource(QUrl(QStringLiteral("qrc:/qt/qml/Orrinvale/") + file));
        return view;
    }

    QList<QQuickItem *> languageBoxes(QQuickItem *root)
    {
        auto *row = root->findChild<QQuickItem *>(QStringLiteral("textLanguages"));
        QList<QQuickItem *> boxes;
        if (!row)
            return boxes;
        for (QQuickItem *item : row->childItems()) {
            if (item->objectName().startsWith(QStringLiteral("textLanguage_")))
                boxes.append(item);
        }
        return boxes;
    }

private Q_SLOTS:
    void initTestCase()
    {
        // Of the languages installed, an English locale reads English alone until the user
        // ticks more.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    // Each installed language is a box named in words; ticking one reads it too.
    void listsTheInstalledLanguagesAndTickingChoosesOne()
    {
        install(QStringLiteral("three"), {"deu", "eng", "fra", "osd"});
        Preferences preferences(m_dir.filePath(QStringLiteral("Orrinvale.conf")));
        Autostart autostart(m_dir.filePath(QStringLiteral("config")));
        const auto view =
            makeView(QStringLiteral("app/GeneralSettingsView.qml"), &preferences, &autostart);
        QCOMPARE(view->status(), QQuickView::Ready);

        const QList<QQuickItem *> boxes = languageBoxes(view->rootObject());
        QStringList shown, checked;
        for (QQuickItem *box : boxes) {
            shown.append(box->property("text").toString());
            if (box->property("checked").toBool())
                checked.append(box->property("text").toString());
        }
        QCOMPARE(shown, (QStringList{"German (deu)", "English (eng)", "French (fra)"}));
        QCOMPARE(checked, QStringList{"English (eng)"});

        QMetaObject::invokeMethod(boxes.at(2), "toggle");
        QMetaObject::invokeMethod(boxes.at(2), "toggled");

        QCOMPARE(preferences.textLanguages(), (QStringList{"eng", "fra"}));
        QVERIFY(boxes.at(2)->property("checked").toBool());
    }

    // With every language installed, the tab still fits the Settings window: its first box
    // below the tab bar, the languages above the bottom (the rest of them scroll).
    void theTabFitsTheWindowWithManyLanguages()
    {
        const QStringList many = {"afr", "ara", "bel", "ben", "bul", "cat", "ces", "dan",
                                  "deu", "ell", "eng", "est", "fin", "fra", "heb", "hin",
                                  "hrv", "hun", "ind", "isl", "ita", "jpn", "kor", "lav",
                                  "lit", "nld", "nor", "pol", "por", "ron", "rus", "slk",
                                  "slv", "spa", "srp", "swe", "tha", "tur", "ukr", "vie"};
        install(QStringLiteral("many"), many);
        Preferences preferences(m_dir.filePath(QStringLiteral("Many.conf")));
        Autostart autostart(m_dir.filePath(QStringLiteral("config")));
        const auto view =
            makeView(QStringLiteral("app/SettingsView.qml"), &preferences, &autostart);
        QCOMPARE(view->status(), QQuickView::Ready);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        QQuickItem *page = view->rootObject();
        auto *header = page->property("header").value<QQuickItem *>();
        auto *first = page->findChild<QQuickItem *>(QStringLiteral("startAtLogin"));
        auto *languages = page->findChild<QQuickItem *>(QStringLiteral("textLanguageScroll"));
        QVERIFY(header && first && languages);
        QCOMPARE(languageBoxes(page).size(), many.size());

        header->setProperty("currentIndex", 1); // the General tab, as a click chooses it
        const auto top = [&] { return first->mapToItem(page, QPointF(0, 0)).y(); };
        const auto bottom = [&] {
            return languages->mapToItem(page, QPointF(0, languages->height())).y();
        };

        // Laid out on the next frames.
        QTRY_VERIFY2(top() >= header->height(), qPrintable(QString::number(top())));
        QVERIFY2(bottom() <= page->height(), qPrintable(QString::number(bottom())));
    }
};

QTEST_MAIN(GeneralSettingsViewTest)
#include "GeneralSettingsViewTest.moc"
