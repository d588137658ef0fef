#pragma once

#include "capture/ScreenshotManager.h"
#include "platform/ScreenCapture.h"

#include <QColor>
#include <QTest>

#include <cstdio>

/** A capture of one flat colour, without a screen: for benchmarks of what comes after it. */
class SolidCapture final : public ScreenCapture
{
public:
    explicit SolidCapture(QColor colour) : m_colour(colour) {}
    bool requestAccess() override { return true; }
    Result<QList<CaptureDisplay>> displays() override
    {
        return QList<CaptureDisplay>{{QStringLiteral("bench"), QRect(0, 0, 1512, 982)}};
    }
    Result<QImage> capture(const CaptureDisplay &, QSize pixelSize) override
    {
        QImage image(pixelSize, QImage::Format_RGB32);
        image.fill(m_colour);
        return image;
    }

private:
    QColor m_colour;
};

/// Takes one capture and waits for it to be in the stack; says so and returns false if not.
inline bool takeOneCapture(ScreenshotManager &manager)
{
    manager.takeScreenshot();
    if (QTest::qWaitFor([&] { return manager.count() == 1; }, 20000))
        return true;
    std::printf("no capture\n");
    return false;
}
