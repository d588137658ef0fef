#include "editor/CanvasDropArea.h"
#include "editor/EditorFixture.h"

#include <QMimeData>
#include <QTest>

class CanvasDropAreaTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void dropsAreOnlyEverCopies_data()
    {
        QTest::addColumn<Qt::DropActions>("offered");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<bool>("taken");

        // Shift makes the source propose a move where it may.
        QTest::newRow("copy or move, move proposed")
            << (Qt::CopyAction | Qt::MoveAction) << Qt::KeyboardModifiers(Qt::ShiftModifier)
            << true;
        QTest::newRow("copy or move, copy proposed")
            << (Qt::CopyAction | Qt::MoveAction) << Qt::KeyboardModifiers() << true;
        QTest::newRow("copy only")
            << Qt::DropActions(Qt::CopyAction) << Qt::KeyboardModifiers() << true;
        QTest::newRow("move only")
            << Qt::DropActions(Qt::MoveAction) << Qt::KeyboardModifiers() << false;
    }

    // A file manager that honours a move deletes the user's original after the drop.
    void dropsAreOnlyEverCopies()
    {
        QFETCH(Qt::DropActions, offered);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(bool, taken);
        EditorFixture f;
        QVERIFY(f.ready);
        CanvasDropArea area;
        area.setEditor(f.state.get());
        QMimeData mime;
        mime.setData(QStringLiteral("image/png"), png({10, 10}, Qt::green));
        const QPointF at(100, 100);

        QDragEnterEvent enter(at.toPoint(), offered, &mime, Qt::LeftButton, modifiers);
        QCOMPARE(enter.proposedAction() == Qt::MoveAction,
                 modifiers == Qt::ShiftModifier || offered == Qt::MoveAction);
        QCoreApplication::sendEvent(&area, &enter);
        QDragMoveEvent move(at.toPoint(), offered, &mime, Qt::LeftButton, modifiers);
        QCoreApplication::sendEvent(&area, &move);
        QDropEvent drop(at, offered, &mime, Qt::LeftButton, modifiers);
        QCoreApplication::sendEvent(&area, &drop);
        settle();

        const Qt::DropAction answer = taken ? Qt::CopyAction : Qt::IgnoreAction;
        for (const QDropEvent *event :
             {static_cast<QDropEvent *>(&enter), static_cast<QDropEvent *>(&move), &drop}) {
            QCOMPARE(event->isAccepted(), taken);
            QCOMPARE(event->dropAction(), answer);
        }
        QCOMPARE(f.state->document()->records()->count(), taken ? 1 : 0);
    }
};

QTEST_MAIN(CanvasDropAreaTest)
#include "CanvasDropAreaTest.moc"
