#pragma once

#include "platform/ScreenCapture.h"

#include <QMutex>

#include <atomic>

/**
 * A screen-capture backend that tests control: the displays it reports, the picture it
 * returns (a generated pattern of the requested size unless one is given), and failures.
 * Safe to configure from the test thread while the manager's worker calls it.
 */
class FakeScreenCapture final : public ScreenCapture
{
public:
    struct Config
    {
        bool access = true;
        QList<CaptureDisplay> displays = {{QStringLiteral("fake"), QRect(0, 0, 1512, 982)}};
        QString displaysError;
        QString captureError;
        /// The picture's size whatever is asked, as a backend that hands over the screen's
        /// real pixels does; empty: the size asked.
        QSize pictureSize;
        /// What captureAreas() cuts its pictures from, in device pixels from (0, 0); null:
        /// the pattern of each area's size.
        QImage desktop;
        /// Pixels per device pixel of the pictures captureAreas() returns (a portal's may be
        /// denser).
        int areaDensity = 1;
        QRect windowUnderPointer;
        QString windowError;
        QList<QRect> visibleWindows;
        /// What the desktop's window chooser gives; null: it cannot.
        QImage chosenWindow;
    };

    void setConfig(const Config &config);

    bool requestAccess() override;
    Result<QList<CaptureDisplay>> displays() override;
    Result<QImage> capture(const CaptureDisplay &display, QSize pixelSize) override;
    Result<QList<QImage>> captureAreas(const QList<QRect> &nativeRects) override;
    Result<QRect> windowUnderPointer() override;
    QList<QRect> visibleWindows() override;
    Result<QImage> captureChosenWindow() override;

    int captureCalls() const { return m_captureCalls; }
    QSize lastPixelSize() const;
    /// The rectangles of the last captureAreas() call.
    QList<QRect> lastAreas() const;

    /// The picture the fake returns for `pixelSize` and call number `n` (distinct per call).
    static QImage pattern(QSize pixelSize, int n);

private:
    mutable QMutex m_mutex;
    Config m_config;
    QSize m_lastPixelSize;
    QList<QRect> m_lastAreas;
    std::atomic<int> m_captureCalls = 0;
};
