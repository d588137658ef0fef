#pragma once

#include "platform/FileChooser.h"

#include <QObject>
#include <QPointer>

/**
 * A file chooser that waits for the test to answer: `choose` picks a file for the open
 * request, `cancel` drops it. The answer reaches the requester only if its context lives.
 */
class FakeFileChooser final : public FileChooser
{
public:
    void chooseImage(QWindow *parent, QObject *context,
                     std::function<void(const QUrl &)> chosen) override;
    /// Like chooseImage; the suggestion is kept for the test to read.
    void chooseSaveFile(QWindow *parent, QObject *context, const QString &suggested,
                        std::function<void(const QUrl &)> chosen) override;
    /// Like chooseSaveFile, the start folder kept as the suggestion.
    void chooseFolder(QWindow *parent, QObject *context, const QString &start,
                      std::function<void(const QUrl &)> chosen) override;
    QString suggested() const { return m_suggested; }

    int requests() const { return m_requests; }
    bool isOpen() const { return bool(m_chosen); }
    void choose(const QUrl &file);
    void cancel() { m_chosen = nullptr; }

private:
    int m_requests = 0;
    QString m_suggested;
    QPointer<QObject> m_context;
    std::function<void(const QUrl &)> m_chosen;
};
