#include "editor/RowMinimumWidth.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QTest>

#include <memory>

namespace {

// A row of `children` in a RowLayout, with the measure beside it.
QByteArray scene(const QByteArray &children)
{
    return R"(
import QtQuick
import QtQuick.Layouts
import Orrinvale
Item {
    width: 600; height: 40
    property alias row: row
    property alias minimum: minimum
    RowMinimumWidth { id: minimum; row: row }
    RowLayout {
        id: row
        height: 40
        spacing: 7
)" + children +
           R"(
    }
}
)";
}

struct Row
{
    explicit Row(const QByteArray &children)
    {
        QQmlComponent component(view.engine());
        component.setData(scene(children), QUrl());
        root.reset(qobject_cast<QQuickItem *>(component.create()));
        if (!root) {
            qWarning() << component.errors();
            return;
        }
        root->setParentItem(view.contentItem());
        view.resize(600, 40);
        view.show();
        row = root->property("row").value<QQuickItem *>();
        minimum = root->property("minimum").value<RowMinimumWidth *>();
    }

    // Lays the row out `width` wide; whether its visible children then lie side by side
    // inside it, none narrower than zero. What lies inside a row in the row is not looked
    // at: in this bare scene Qt 6.4 does not lay such a row out again after the outer row
    // narrows it. The toolbar's own tool groups are checked in the real window, end to end.
    bool fitsIn(qreal width)
    {
        row->setWidth(width);
        // The layout runs in the window's polish pass, which a frame goes through.
        view.grabWindow();
        qreal right = 0;
        for (const QQuickItem *child : row->childItems()) {
            if (!child->isVisible() || child->inherits("QQuickRepeater"))
                continue;
            if (child->x() < right - 0.01 || child->width() < 0)
                return false;
            right = child->x() + child->width();
        }
        return right <= width + 0.01;
    }

    QQuickView view;
    std::unique_ptr<QQuickItem> root;
    QQuickItem *row = nullptr;
    RowMinimumWidth *minimum = nullptr;
};

} // namespace

class RowMinimumWidthTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The measured minimum is what the layout itself honours: at that width every child is
    // whole and in its place, one point less and the last one runs past the end.
    void isTheNarrowestTheLayoutKeepsWhole_data()
    {
        QTest::addColumn<QByteArray>("children");
        QTest::addColumn<qreal>("expected");

        QTest::newRow("fixed items and the spacing between them")
            << QByteArray("Rectangle { implicitWidth: 40 } Rectangle { implicitWidth: 25 }"
                          "Rectangle { implicitWidth: 10 }")
            << 40.0 + 25 + 10 + 2 * 7;
        QTest::newRow("a filling item gives way down to its minimum, a spacer to nothing")
            << QByteArray("Rectangle { Layout.fillWidth: true; implicitWidth: 100;"
                          "            Layout.minimumWidth: 30 }"
                          "Item { Layout.fillWidth: true }"
                          "Rectangle { implicitWidth: 20 }")
            << 30.0 + 0 + 20 + 2 * 7;
        QTest::newRow("a filling item without a minimum gives way to nothing")
            << QByteArray("Rectangle { Layout.fillWidth: true; implicitWidth: 100 }"
                          "Rectangle { implicitWidth: 20 }")
            << 0.0 + 20 + 7;
        QTest::newRow("a preferred width, within its maximum")
            << QByteArray("Rectangle { implicitWidth: 10; Layout.preferredWidth: 75;"
                          "            Layout.maximumWidth: 60 }"
                          "Rectangle { implicitWidth: 10; Layout.preferredWidth: 33 }")
            << 60.0 + 33 + 7;
        QTest::newRow("a nested row of repeated items, at their minimum and its spacing")
            << QByteArray("RowLayout { spacing: 2; Repeater { model: 3; Rectangle {"
                          "    Layout.fillWidth: true; implicitWidth: 50;"
                          "    Layout.minimumWidth: 20 } } }"
                          "Rectangle { implicitWidth: 10 }")
            << (3 * 20.0 + 2 * 2) + 10 + 7;
        QTest::newRow("hidden items take neither room nor spacing")
            << QByteArray("Rectangle { implicitWidth: 40 } Rectangle { visible: false;"
                          "implicitWidth: 500 } Rectangle { implicitWidth: 25 }")
            << 40.0 + 25 + 7;
        QTest::newRow("layout margins")
            << QByteArray("Rectangle { implicitWidth: 30; Layout.leftMargin: 5;"
                          "            Layout.rightMargin: 6 }"
                          "Rectangle { implicitWidth: 12 }")
            << 30.0 + 5 + 6 + 12 + 7;
        QTest::newRow("a Row positioner, at the width of its children")
            << QByteArray("Row { spacing: 3; Rectangle { width: 20; height: 5 }"
                          "      Rectangle { width: 20; height: 5 } }"
                          "Rectangle { implicitWidth: 12 }")
            << 43.0 + 12 + 7;
    }

    void isTheNarrowestTheLayoutKeepsWhole()
    {
        QFETCH(QByteArray, children);
        QFETCH(qreal, expected);
        Row r(children);
        QVERIFY(r.row && r.minimum);

        QTRY_COMPARE(r.minimum->width(), expected);
        QVERIFY(r.fitsIn(expected));
        QVERIFY(!r.fitsIn(expected - 1));
    }

    // The measure follows what changes the row: a child growing, one hidden or shown, a
    // Layout property set, children added by a model.
    void followsTheRow()
    {
        Row r("Rectangle { objectName: 'a'; implicitWidth: 40 }"
              "Rectangle { objectName: 'b'; implicitWidth: 25; Layout.fillWidth: true;"
              "            Layout.minimumWidth: 10 }"
              "RowLayout { spacing: 0; Repeater { objectName: 'more'; model: 1;"
              "    Rectangle { implicitWidth: 5 } } }");
        QVERIFY(r.row && r.minimum);
        auto *a = r.root->findChild<QQuickItem *>("a");
        auto *b = r.root->findChild<QQuickItem *>("b");
        QObject *more = r.root->findChild<QObject *>("more");
        QVERIFY(a && b && more);
        QTRY_COMPARE(r.minimum->width(), 40.0 + 10 + 5 + 2 * 7);

        a->setImplicitWidth(70);
        QTRY_COMPARE(r.minimum->width(), 70.0 + 10 + 5 + 2 * 7);
        a->setVisible(false);
        QTRY_COMPARE(r.minimum->width(), 10.0 + 5 + 7);
        a->setVisible(true);
        QTRY_COMPARE(r.minimum->width(), 70.0 + 10 + 5 + 2 * 7);
        QObject *layout = nullptr;
        for (QObject *child : b->children()) {
            if (child->inherits("QQuickLayoutAttached"))
                layout = child;
        }
        QVERIFY(layout);
        layout->setProperty("minimumWidth", 22);
        QTRY_COMPARE(r.minimum->width(), 70.0 + 22 + 5 + 2 * 7);
        more->setProperty("model", 3);
        QTRY_COMPARE(r.minimum->width(), 70.0 + 22 + 15 + 2 * 7);
    }
};

QTEST_MAIN(RowMinimumWidthTest)
#include "RowMinimumWidthTest.moc"
