#include "platform/Autostart.h"
#include "platform/Preferences.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickView>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString qmlRoot = QStringLiteral("qrc:/qt/qml/Orrinvale/");
const QStringList labels = {"Select/Resize", "Text",        "Pen",  "Box",    "Line", "Arrow",
                            "Ellipse",       "Highlighter", "Step", "Redact", "Crop"};
const QStringList keys = {"shortcutPointer",   "shortcutText",        "shortcutPen",
                          "shortcutRectangle", "shortcutLine",        "shortcutArrow",
                          "shortcutEllipse",   "shortcutHighlighter", "shortcutStep",
                          "shortcutRedact",    "shortcutCrop"};

std::unique_ptr<QQuickView> makeView(const QString &file, Preferences *preferences,
                                     Autostart *autostart = nullptr)
{
    auto view = std::make_unique<QQuickView>();
    view->engine()->addImportPath(QStringLiteral("qrc:/qt/qml")); // as AppDelegate does
    QVariantMap properties{{QStringLiteral("preferences"), QVariant::fromValue(preferences)}};
    if (autostart)
        properties.insert(QStringLiteral("autostart"), QVariant::fromValue(autostart));
    view->setInitialProperties(properties);
    view->setSource(QUrl(qmlRoot + file));
    return view;
}

// The rows of a pane, column by column, each top to bottom.
QList<QQuickItem *> rowsOf(QQuickItem *pane)
{
    QList<QQuickItem *> rows;
    for (QQuickItem *item : pane->findChildren<QQuickItem *>()) {
        if (item->property("field").value<QQuickItem *>())
            rows << item;
    }
    std::sort(rows.begin(), rows.end(), [pane](QQuickItem *a, QQuickItem *b) {
        const QPointF pa = a->mapToItem(pane, {0, 0});
        const QPointF pb = b->mapToItem(pane, {0, 0});
        return pa.x() != pb.x() ? pa.x() < pb.x() : pa.y() < pb.y();
    });
    return rows;
}

QQuickItem *fieldOf(QQuickItem *row)
{
    return row->property("field").value<QQuickItem *>();
}

QString fieldText(QQuickItem *row)
{
    return fieldOf(row)->property("text").toString();
}

QVariant stored(const QString &path, const QString &key)
{
    return QSettings(path, QSettings::IniFormat).value(key);
}

} // namespace

class ShortcutSettingsViewTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_path;
    std::unique_ptr<Preferences> m_preferences;
    std::unique_ptr<QQuickView> m_view;
    QList<QQuickItem *> m_rows;
    int m_case = 0;

    // Puts the keyboard in `row`'s field, the caret after its text.
    void focusField(QQuickItem *row)
    {
        QQuickItem *field = fieldOf(row);
        field->forceActiveFocus();
        QMetaObject::invokeMethod(field, "deselect");
        field->setProperty("cursorPosition", fieldText(row).size());
    }

private Q_SLOTS:
    void init()
    {
        m_path = m_dir.filePath(QStringLiteral("case%1/Orrinvale.conf").arg(++m_case));
        m_preferences = std::make_unique<Preferences>(m_path);
        m_view =
            makeView(QStringLiteral("shortcuts/ShortcutSettingsView.qml"), m_preferences.get());
        QCOMPARE(m_view->status(), QQuickView::Ready);
        m_view->show();
        m_view->requestActivate();
        QVERIFY(QTest::qWaitForWindowActive(m_view.get()));
        m_rows = rowsOf(m_view->rootObject());
        QCOMPARE(m_rows.size(), 11);
    }

    void cleanup()
    {
        m_view.reset();
        m_preferences.reset();
    }

    void showsTheDefaultsWithoutWritingThem()
    {
        QStringList shownLabels, shownKeys;
        for (QQuickItem *row : m_rows) {
            shownLabels << row->property("label").toString();
            shownKeys << fieldText(row);
        }
        QCOMPARE(shownLabels, labels);
        QCOMPARE(shownKeys, (QStringList{"v", "t", "d", "r", "l", "a", "e", "h", "n", "x", "c"}));
        QVERIFY(!QFile::exists(m_path));
    }

    void typedKeyReplacesTheOldOneInLowerCase_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("kept");

        const auto row = [](const char *name, int row, const char *typed, const char *pasted,
                            const char *kept) {
            QTest::newRow(name) << row << QString(typed) << QString::fromUtf8(pasted)
                                << QString::fromUtf8(kept);
        };
        row("k after v in Select/Resize", 0, "k", "", "k");
        row("X in Pen", 2, "X", "", "x");
        row("same letter again in Line", 4, "l", "", "l");
        row("two letters in Box", 3, "Qz", "", "z");
        row("pasted word in Text", 1, "", "Shortcut\xc3\x89", "\xc3\xa9");
    }

    void typedKeyReplacesTheOldOneInLowerCase()
    {
        QFETCH(int, row);
        QFETCH(QString, typed);
        QFETCH(QString, pasted);
        QFETCH(QString, kept);
        focusField(m_rows[row]);

        for (const QChar c : typed)
            QTest::keyClick(m_view.get(), c.toLatin1());
        if (!pasted.isEmpty()) {
            QGuiApplication::clipboard()->setText(pasted);
            QTest::keyClick(m_view.get(), Qt::Key_V, Qt::ControlModifier);
        }

        QCOMPARE(fieldText(m_rows[row]), kept);
        QCOMPARE(stored(m_path, keys[row]), QVariant(kept));
        QCOMPARE(QSettings(m_path, QSettings::IniFormat).allKeys(), QStringList{keys[row]});
    }

    void everyViewSeesAChangeAtOnce()
    {
        auto second =
            makeView(QStringLiteral("shortcuts/ShortcutSettingsView.qml"), m_preferences.get());
        QCOMPARE(second->status(), QQuickView::Ready);
        const QList<QQuickItem *> otherRows = rowsOf(second->rootObject());
        focusField(m_rows[2]);

        QTest::keyClick(m_view.get(), 'q');
        m_preferences->setShortcut(Preferences::Arrow,
                                   QStringLiteral("w")); // as another window would

        QCOMPARE(fieldText(otherRows[2]), QStringLiteral("q"));
        QCOMPARE(fieldText(m_rows[5]), QStringLiteral("w"));
        QCOMPARE(fieldText(otherRows[5]), QStringLiteral("w"));

        // The edited field still follows the store afterwards.
        m_preferences->setShortcut(Preferences::Pen, QStringLiteral("z"));
        QCOMPARE(fieldText(m_rows[2]), QStringLiteral("z"));
    }

    // The pane inside the Settings window is typed into end to end.
    void startAtLoginFollowsTheEntry()
    {
        Autostart autostart(m_dir.filePath(QStringLiteral("config%1").arg(m_case)));
        auto settings =
            makeView(QStringLiteral("app/SettingsView.qml"), m_preferences.get(), &autostart);
        QCOMPARE(settings->status(), QQuickView::Ready);
        auto *box = settings->rootObject()->findChild<QQuickItem *>(QStringLiteral("startAtLogin"));
        QVERIFY(box);
        QCOMPARE(box->property("checked").toBool(), false);
        QMetaObject::invokeMethod(box, "toggle");
        QMetaObject::invokeMethod(box, "toggled");
        QVERIFY(QFile::exists(autostart.entryPath()));
        QCOMPARE(box->property("checked").toBool(), true);
        // A change on disk shows once the window asks again.
        QVERIFY(QFile::remove(autostart.entryPath()));
        autostart.refresh();
        QCOMPARE(box->property("checked").toBool(), false);
    }
};

QTEST_MAIN(ShortcutSettingsViewTest)
#include "ShortcutSettingsViewTest.moc"
