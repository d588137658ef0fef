#include "FakeFileChooser.h"

void FakeFileChooser::chooseImage(QWindow *, QObject *context,
                                  std::function<void(const QUrl &)> chosen)
{
    ++m_requests;
    m_context = context;
    m_chosen = std::move(chosen);
}

void FakeFileChooser::choose(const QUrl &file)
{
    auto chosen = std::move(m_chosen);
    m_chosen = nullptr;
    if (chosen && m_context)
        chosen(file);
}

void FakeFileChooser::chooseSaveFile(QWindow *parent, QObject *context, const QString &suggested,
                                     std::function<void(const QUrl &)> chosen)
{
    m_suggested = suggested;
    chooseImage(parent, context, std::move(chosen));
}

void FakeFileChooser::chooseFolder(QWindow *parent, QObject *context, const QString &start,
                                   std::function<void(const QUrl &)> chosen)
{
    chooseSaveFile(parent, context, start, std::move(chosen));
}
