#pragma once

#include "FileChooser.h"

#include <QPointer>
#include <QVariantMap>

class QQmlEngine;

/**
 * The desktop's own file chooser (through its portal or platform theme) where there is one,
 * else Qt's: Qt Quick's dialog for an image to open, and Qt's widget dialog for a file to
 * write and for a folder, since Qt 6.4's Quick ones cannot take a new file's name (the
 * "Open" button keeps the name suggested, whatever was typed) nor open without a window of
 * the editor's to sit in. One dialog at a time per chooser. Owned by
 * AppDelegate, which gives it the engine the editor's windows use.
 */
class DesktopFileChooser final : public FileChooser
{
public:
    explicit DesktopFileChooser(QQmlEngine *engine);
    ~DesktopFileChooser() override;

    void chooseImage(QWindow *parent, QObject *context,
                     std::function<void(const QUrl &)> chosen) override;
    void chooseSaveFile(QWindow *parent, QObject *context, const QString &suggested,
                        std::function<void(const QUrl &)> chosen) override;
    void chooseFolder(QWindow *parent, QObject *context, const QString &start,
                      std::function<void(const QUrl &)> chosen) override;

private:
    /// Shows Qt's widget `dialog` over `parent` (null: on its own) and hands the path picked
    /// to `chosen` while `context` lives.
    void openWidgetDialog(class QFileDialog *dialog, QWindow *parent, QObject *context,
                          std::function<void(const QUrl &)> chosen);
    /// Opens a FileDialog with `dialogBody` as its settings: in `parent`, or in a window
    /// of its own titled `title`.
    void open(const QByteArray &dialogBody, const QString &title, const QVariantMap &properties,
              QWindow *parent, QObject *context, std::function<void(const QUrl &)> chosen);

    QQmlEngine *m_engine;
    QPointer<QObject> m_dialog; // the dialog, or the window holding it
};
