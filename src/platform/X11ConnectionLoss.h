#pragma once

/**
 * Ends the program with one line and status 1 when its X server goes away. Qt's xcb platform
 * then warns on standard error and calls exit() from inside the event loop, which runs the
 * global destructors under live windows (in the sanitizer build everything still held shows
 * as leaked). OrrinvaleApp calls watch() once the application object exists.
 */
namespace X11ConnectionLoss {
/// Watches Qt's X connection, when the program runs on one; does nothing otherwise.
void watch();
} // namespace X11ConnectionLoss
