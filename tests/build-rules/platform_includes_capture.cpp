// Compiled as a platform/ source is: platform/ uses nothing of ours, so this must not compile.
#include "capture/ScreenshotManager.h"
