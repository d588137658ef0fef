#pragma once

#include "platform/Result.h"

#include <QRect>
#include <QString>

/**
 * What one capture command asks for: which part of the desktop, now or after a delay. The
 * tray menu, the global keys, the command line and D-Bus all make one and hand it to
 * ScreenshotManager::request(), so each kind of capture has one path whoever asks. Also
 * written as a short text (the `action` of D-Bus `Delayed`, and what the command line
 * forwards).
 */
struct CaptureRequest
{
    enum class Kind {
        Screens,      ///< `screens` below
        Region,       ///< `region`, in the desktop's logical pixels
        LastRegion,   ///< the region accepted last in the overlay, or given last
        Window,       ///< the top-level window under the pointer
        SelectRegion, ///< the region overlay
    };
    enum class Screens {
        Primary, ///< the primary screen, as "Take Screenshot"
        Pointer, ///< the screen under the pointer
        All,     ///< the bounding box of every screen
    };

    static constexpr int MaxDelaySeconds = 60;

    Kind kind = Kind::Screens;
    Screens screens = Screens::Primary;
    QRect region;
    int delaySeconds = 0;

    static CaptureRequest ofScreens(Screens screens);
    static CaptureRequest ofRegion(const QRect &region);
    static CaptureRequest ofKind(Kind kind);
    CaptureRequest after(int seconds) const;

    /// "X,Y,WxH", X and Y possibly negative; refuses a zero or negative size.
    static Result<QRect> parseRegion(const QString &text);
    static Result<Screens> parseScreens(const QString &text);
    /// Whole seconds from 0 to MaxDelaySeconds.
    static Result<int> parseDelay(const QString &text);
    /// A problem with the values themselves (size, delay), independent of the screens; an
    /// empty string when there is none.
    QString problem() const;

    /// The request without its delay as a short text: "take-screenshot", "screen pointer",
    /// "region", "region 10,20,300x200", "last-region", "window".
    QString action() const;
    static Result<CaptureRequest> fromAction(const QString &action);
    static QString regionText(const QRect &region);

    bool operator==(const CaptureRequest &) const = default;
};
