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
        // The language data folder is read as the view is made: three languages installed.
        const QString data = m_dir.filePath(QStringLiteral("tessdata"));
        QVERIFY(QDir().mkpath(data));
        for (const char *name : {"deu", "eng", "fra", "osd"}) {
            QFile file(data + QStringLiteral("/%1.traineddata").arg(QLatin1String(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        qputenv("TESSDATA_PREFIX", data.toLocal8Bit());
        // Of these, an English locale reads English alone until the user ticks more.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    // Each installed language is a box named in words; ticking one reads it too.
    void listsTheInstalledLanguagesAndTickingChoosesOne()
    {
        Preferences preferences(m_dir.filePath(QStringLiteral("Orrinvale.conf")));
        Autostart autostart(m_dir.filePath(QStringLiteral("config")));
        QQuickView view;
        view.engine()->addImportPath(QStringLiteral("qrc:/qt/qml"));
        view.setInitialProperties({{"preferences", QVariant::fromValue(&preferences)},
                                   {"autostart", QVariant::fromValue(&autostart)}});
        view.setSource(QUrl(QStringLiteral("qrc:/qt/qml/Orrinvale/app/GeneralSettingsView.qml")));
        QCOMPARE(view.status(), QQuickView::Ready);

        const QList<QQuickItem *> boxes = languageBoxes(view.rootObject());
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
};

QTEST_MAIN(GeneralSettingsViewTest)
#include "GeneralSettingsViewTest.moc"
