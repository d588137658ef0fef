#pragma once

#include "capture/ScreenshotManager.h"
#include "editor/EditorSession.h"
#include "editor/EditorState.h"
#include "fakes/FakeScreenCapture.h"

#include <QBuffer>
#include <QTest>
#include <QThreadPool>

#include <memory>

inline QByteArray png(QSize size, QColor color)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "png");
    return bytes;
}

// Waits for the background decoding of inserted images and the insertion it posts.
inline void settle()
{
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

inline Annotation textRecord(QPointF at, const QString &text, const QColor &colour = Qt::blue,
                             bool plate = false)
{
    Annotation record = Annotation::createText(at, colour, plate, "DejaVu Sans", 24);
    record.textPayload = text;
    return record;
}

/**
 * An editor on one capture of `captureSize` points (taken through the fake backend at
 * scale 1), with a canvas area of `area` points laid out. Shared by the editor's tests.
 */
struct EditorFixture
{
    explicit EditorFixture(QSize captureSize = QSize(1600, 1200), QSizeF area = QSizeF(1000, 500))
    {
        auto capture = std::make_unique<FakeScreenCapture>();
        FakeScreenCapture::Config config;
        config.displays = {{QStringLiteral("fake"), QRect(QPoint(0, 0), captureSize)}};
        capture->setConfig(config);
        manager = std::make_unique<ScreenshotManager>(std::move(capture),
                                                      [] { return std::optional<qreal>(1); });
        manager->takeScreenshot();
        ready = QTest::qWaitFor([this] { return manager->count() == 1; }, 10000);
        if (!ready)
            return;
        session = std::make_unique<EditorSession>(manager.get(), 0);
        session->setOnClose([this] { ++closeRequests; });
        state = std::make_unique<EditorState>();
        state->setSession(session.get());
        state->viewport()->setAreaSize(area);
    }

    std::unique_ptr<ScreenshotManager> manager;
    std::unique_ptr<EditorSession> session;
    std::unique_ptr<EditorState> state;
    bool ready = false;
    int closeRequests = 0;
};
