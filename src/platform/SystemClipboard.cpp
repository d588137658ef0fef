#include "SystemClipboard.h"

#include <QClipboard>
#include <QGuiApplication>

const QMimeData *SystemClipboard::mimeData() const
{
    return QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
}
