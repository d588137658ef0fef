#pragma once

#include <QUrl>

#include <functional>

class QObject;
class QWindow;

/**
 * The desktop's file chooser, as "Insert" uses it: one image file, no folders. The answer
 * comes later; it goes to `context` and is dropped if `context` is gone by then.
 * QuickFileChooser is the real one; tests give their own.
 */
class FileChooser
{
public:
    virtual ~FileChooser() = default;

    /// Shows the chooser over `parent`; calls `chosen` with the file picked, or not at all
    /// when the user cancels.
    virtual void chooseImage(QWindow *parent, QObject *context,
                             std::function<void(const QUrl &)> chosen) = 0;
};
