#pragma once

#include <QUrl>

#include <functional>

class QObject;
class QWindow;

/**
 * The desktop's file chooser, as "Insert" uses it (one image file, no folders), as
 * "Save As..." does (a new file's path) and as the save folder's "Choose..." does. The answer
 * comes later; it goes to `context` and is dropped if `context` is gone by then.
 * DesktopFileChooser is the real one; tests give their own.
 */
class FileChooser
{
public:
    virtual ~FileChooser() = default;

    /// Shows the chooser over `parent`; calls `chosen` with the file picked, or not at all
    /// when the user cancels.
    virtual void chooseImage(QWindow *parent, QObject *context,
                             std::function<void(const QUrl &)> chosen) = 0;
    /// Shows a chooser for a file to write over `parent` (null: none), starting at the path
    /// `suggested`; calls `chosen` with the path picked, or not at all when the user cancels.
    virtual void chooseSaveFile(QWindow *parent, QObject *context, const QString &suggested,
                                std::function<void(const QUrl &)> chosen) = 0;
    /// Shows a chooser for a folder over `parent`, starting in `start`; calls `chosen` with
    /// the folder picked, or not at all when the user cancels.
    virtual void chooseFolder(QWindow *parent, QObject *context, const QString &start,
                              std::function<void(const QUrl &)> chosen) = 0;
};
