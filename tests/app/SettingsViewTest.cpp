#include "platform/Autostart.h"
#include "platform/Preferences.h"

#include <QGuiApplication>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

QRectF inWindow(const QQuickItem *item)
{
    return item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
}

// The tool rows of the Shortcuts tab: the items that hold a key field.
QList<QQuickItem *> shortcutRows(QQuickItem *root)
{
    QList<QQuickItem *> rows;
    for (QQuickItem *item : root->findChildren<QQuickItem *>()) {
        if (item->property("field").value<QQuickItem *>())
            rows << item;
    }
    return rows;
}

QQuickItem *labelOf(QQuickItem *row)
{
    const QString label = row->property("label").toString();
    for (QQuickItem *child : row->childItems()) {
        if (child != row->property("field").value<QQuickItem *>() &&
            child->property("text").toString() == label)
            return child;
    }
    return nullptr;
}

} // namespace

// The settings window, 400 x 350 whatever the font, with a larger system font.
class SettingsViewTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private Q_SLOTS:
    // Every tool's name and key field lie whole inside the window, side by side and apart
    // from the other rows; where the rows are taller than the tab, the tab scrolls to the
    // last of them. The usual font keeps the two columns.
    void theShortcutsTabKeepsEveryRowWhole_data()
    {
        QTest::addColumn<double>("fontScale");
        QTest::addColumn<int>("columns");
        QTest::addColumn<bool>("scrolls");
        QTest::newRow("usual font") << 1.0 << 2 << false;
        QTest::newRow("25% larger") << 1.25 << 2 << false;
        QTest::newRow("twice as large") << 2.0 << 1 << true;
    }

    void theShortcutsTabKeepsEveryRowWhole()
    {
        QFETCH(double, fontScale);
        QFETCH(int, columns);
        QFETCH(bool, scrolls);
        const QFont usual = QGuiApplication::font();
        QFont larger = usual;
        larger.setPointSizeF(usual.pointSizeF() * fontScale);
        QGuiApplication::setFont(larger);
        const auto restore = qScopeGuard([&] { QGuiApplication::setFont(usual); });
        Preferences preferences(m_dir.filePath(QStringLiteral("Orrinvale.conf")));
        Autostart autostart(m_dir.filePath(QStringLiteral("config")));
        QQuickView view;
        view.engine()->addImportPath(QStringLiteral("qrc:/qt/qml"));
        view.setInitialProperties({{"preferences", QVariant::fromValue(&preferences)},
                                   {"autostart", QVariant::fromValue(&autostart)}});
        view.setSource(QUrl(QStringLiteral("qrc:/qt/qml/Orrinvale/app/SettingsView.qml")));
        QCOMPARE(view.status(), QQuickView::Ready);
        view.resize(400, 350);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        const QList<QQuickItem *> rows = shortcutRows(view.rootObject());
        QCOMPARE(rows.size(), 11);
        QTRY_VERIFY(labelOf(rows.first()) && labelOf(rows.first())->width() > 0);
        QSet<int> lefts;
        qreal lowest = 0;
        QList<QRectF> taken; // each row's name and field
        for (QQuickItem *row : rows) {
            const QString name = row->property("label").toString();
            QQuickItem *label = labelOf(row);
            QVERIFY2(label, qPrintable(name));
            const QRectF text = inWindow(label);
            const QRectF field = inWindow(row->property("field").value<QQuickItem *>());
            QVERIFY2(text.left() >= 0 && field.right() <= 400, qPrintable(name));
            QVERIFY2(text.right() <= field.left(), qPrintable(name));
            const QRectF both = text.united(field);
            for (const QRectF &other : std::as_const(taken))
                QVERIFY2(!other.intersects(both), qPrintable(name));
            taken << both;
            lefts << qRound(text.left());
            lowest = std::max(lowest, field.bottom());
        }
        QCOMPARE(lefts.size(), columns);

        auto *tab = view.rootObject()->findChild<QQuickItem *>(QStringLiteral("shortcutsTab"));
        QVERIFY(tab);
        const qreal top = inWindow(tab).top();
        const qreal reach = tab->property("contentHeight").toReal();
        QVERIFY2(lowest - top <= reach,
                 qPrintable(QStringLiteral("%1 > %2").arg(lowest - top).arg(reach)));
        QCOMPARE(reach > tab->height(), scrolls);
    }
};

QTEST_MAIN(SettingsViewTest)
#include "SettingsViewTest.moc"
