#include "EditorSession.h"

#include "capture/ScreenshotManager.h"

EditorSession::EditorSession(ScreenshotManager *manager, int index, QObject *parent)
    : QObject(parent), m_manager(manager), m_captureId(manager->captureIdAt(index))
{
    CaptureListModel *list = m_manager->screenshots();
    connect(list, &QAbstractItemModel::rowsInserted, this, &EditorSession::captureIndexChanged);
    connect(list, &QAbstractItemModel::rowsRemoved, this, &EditorSession::captureIndexChanged);
    connect(list, &QAbstractItemModel::dataChanged, this, &EditorSession::refresh);
    // An editor of a capture taken off the stack has nothing left to edit.
    connect(m_manager, &ScreenshotManager::captureRemoved, this, [this](quint64 captureId) {
        if (captureId == m_captureId)
            close();
    });
    if (m_captureId)
        m_manager->store()->keepDecoded(m_captureId, this);
    refresh();
}

int EditorSession::captureIndex() const
{
    return m_captureId ? m_manager->indexOfCapture(m_captureId) : -1;
}

bool EditorSession::saveImage(const QImage &image)
{
    return m_captureId && m_manager->replaceCapture(m_captureId, image);
}

void EditorSession::close()
{
    if (m_onClose)
        m_onClose();
}

void EditorSession::finish()
{
    if (m_window)
        m_window->hide();
    close();
}

void EditorSession::refresh()
{
    // Only new pixels for this capture matter; thumbnails and other rows change too.
    const int revision = m_manager->screenshots()->revisionAt(captureIndex());
    if (revision < 0 || revision == m_revision)
        return;
    m_revision = revision;
    // At once when the pixels are at hand, else once decoded off the UI thread.
    m_manager->store()->load(m_captureId, this, [this, revision](const Result<QImage> &image) {
        if (revision != m_revision)
            return; // newer pixels are on their way
        if (!image.ok()) {
            close(); // the store has said why
            return;
        }
        m_image = image.value();
        Q_EMIT imageChanged();
    });
}
