// Compiled as an editor/ source is: the editor may use capture/, so this compiles. It shows
// that the refusals of the other probes come from the rules, not from a broken setup.
#include "capture/ScreenshotManager.h"
