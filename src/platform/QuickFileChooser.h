#pragma once

#include "FileChooser.h"

#include <QPointer>
#include <QVariantMap>

class QQmlEngine;

/**
 * The file chooser of Qt Quick's dialogs: the desktop's own (through its portal or
 * platform theme) where there is one, else Qt's. One dialog at a time per chooser. Owned by
 * AppDelegate, which gives it the engine the editor's windows use.
 */
class QuickFileChooser final : public FileChooser
{
public:
    explicit QuickFileChooser(QQmlEngine *engine);
    ~QuickFileChooser() override;

    void chooseImage(QWindow *parent, QObject *context,
                     std::function<void(const QUrl &)> chosen) override;
    void chooseSaveFile(QWindow *parent, QObject *context, const QString &suggested,
                        std::function<void(const QUrl &)> chosen) override;

private:
    /// Opens a FileDialog with `dialogBody` as its settings: in `parent`, or in a window
    /// of its own titled `title`.
    void open(const QByteArray &dialogBody, const QString &title, const QVariantMap &properties,
              QWindow *parent, QObject *context, std::function<void(const QUrl &)> chosen);

    QQmlEngine *m_engine;
    QPointer<QObject> m_dialog; // the dialog, or the window holding it
};
