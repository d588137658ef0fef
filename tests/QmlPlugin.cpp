// Linked into every test program: the QML module lives in a static library.
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(OrrinvalePlugin)
