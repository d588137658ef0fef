// Compiled as a capture/ source is: capture/ knows nothing of the editor, so this must not
// compile.
#include "editor/document/Annotation.h"
