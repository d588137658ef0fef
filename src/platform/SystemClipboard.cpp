#include "SystemClipboard.h"

#include <QClipboard>
#include <QGuiApplication>

const QMimeData *SystemClipboard::mimeData() const
{
    return QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
}

void SystemClipboard::setMimeData(QMimeData *data)
{
    if (data)
        QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
    else
        QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
}
