#pragma once

#include "app/AppDelegate.h"
#include "editor/CanvasInputLayer.h"
#include "editor/EditorFixture.h"
#include "editor/EditorState.h"
#include "fakes/FakeScreenCapture.h"
#include "platform/NullDesktopWindowing.h"

#include <QKeyEvent>
#include <QPointer>
#include <QQmlComponent>
#include <QQuickItem>
#include <QQuickView>
#include <QTest>

#include <memory>

// By the visual tree: delegates of a Repeater are not its QObject children.
inline QQuickItem *findItem(QQuickItem *root, QLatin1String name)
{
    if (root->objectName() == name)
        return root;
    for (QQuickItem *child : root->childItems()) {
        if (QQuickItem *found = findItem(child, name))
            return found;
    }
    return nullptr;
}

// A key press as X11 delivers it: the physical key (XKB code) and the text of the layout.
inline bool pressKey(QWindow *window, quint32 keyCode, const QString &text,
                     Qt::KeyboardModifiers modifiers = Qt::NoModifier, int key = 0)
{
    if (!key && !text.isEmpty())
        key = text.at(0).toUpper().unicode();
    QKeyEvent press(QEvent::KeyPress, key, modifiers, keyCode, 0, 0, text);
    QCoreApplication::sendEvent(window, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, keyCode, 0, 0, text);
    QCoreApplication::sendEvent(window, &release);
    return press.isAccepted();
}

inline void escape(QWindow *window)
{
    pressKey(window, 9, QStringLiteral("\x1b"), Qt::NoModifier, Qt::Key_Escape);
}

/**
 * The real program's editor window, on one capture from the fake backend. Shared by the
 * tests of the editor window and its toolbar.
 */
struct OpenEditor
{
    OpenEditor()
    {
        delegate = std::make_unique<AppDelegate>(std::make_unique<FakeScreenCapture>(),
                                                 std::make_unique<NullDesktopWindowing>());
        delegate->applicationDidFinishLaunching();
        ScreenshotManager *manager = delegate->screenshotManager();
        manager->takeScreenshot();
        if (!QTest::qWaitFor([&] { return manager->count() == 1; }, 10000))
            return;
        delegate->openEditor(0);
        window = delegate->editorWindow();
        if (!window || !window->rootObject())
            return;
        state = window->rootObject()->property("editor").value<EditorState *>();
        input = window->rootObject()->findChild<CanvasInputLayer *>("canvasInput");
        canvasArea = window->rootObject()->findChild<QQuickItem *>("canvasArea");
        window->requestActivate();
        ready = state && input && canvasArea && QTest::qWaitForWindowActive(window);
    }

    // A point of the canvas area, in window coordinates.
    QPoint inWindow(QPointF canvasAreaPoint) const
    {
        return canvasArea->mapToScene(canvasAreaPoint).toPoint();
    }

    QPoint onCanvas(QPointF canvasPoint) const
    {
        return inWindow(state->viewport()->canvasToView(canvasPoint));
    }

    // A text field in the window holding the keyboard, as a text box does.
    std::unique_ptr<QQuickItem> focusedTextField() const
    {
        QQmlComponent component(window->engine());
        component.setData("import QtQuick\nTextInput { width: 80; height: 20 }", QUrl());
        std::unique_ptr<QQuickItem> field(qobject_cast<QQuickItem *>(component.create()));
        if (field) {
            field->setParentItem(window->rootObject());
            field->forceActiveFocus();
        }
        return field;
    }

    QQuickItem *item(const char *name) const
    {
        return findItem(window->rootObject(), QLatin1String(name));
    }

    std::unique_ptr<AppDelegate> delegate;
    QPointer<QQuickView> window;
    QPointer<EditorState> state;
    QPointer<CanvasInputLayer> input;
    QPointer<QQuickItem> canvasArea;
    bool ready = false;
};
