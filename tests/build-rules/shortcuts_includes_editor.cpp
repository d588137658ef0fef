// Compiled as a shortcuts/ source is: shortcuts/ knows nothing of the editor, so this must
// not compile.
#include "editor/tools/DrawingTool.h"
