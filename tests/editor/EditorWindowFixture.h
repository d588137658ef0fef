#pragma once

#include "app/AppDelegate.h"
#include "editor/CanvasInputLayer.h"
#include "editor/EditorState.h"
#include "fakes/FakeScreenCapture.h"
#include "platform/NullDesktopWindowing.h"

#include <QPointer>
#include <QQuickItem>
#include <QQuickView>
#include <QTest>

#include <memory>

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
        return inWindow(state->canvasToView(canvasPoint));
    }

    std::unique_ptr<AppDelegate> delegate;
    QPointer<QQuickView> window;
    QPointer<EditorState> state;
    QPointer<CanvasInputLayer> input;
    QPointer<QQuickItem> canvasArea;
    bool ready = false;
};
