#include "EditorSession.h"

#include "capture/ScreenshotManager.h"

EditorSession::EditorSession(ScreenshotManager *manager, int index, QObject *parent)
    : QObject(parent), m_manager(manager), m_captureId(manager->captureIdAt(index)),
      m_image(manager->imageAt(index))
{
    CaptureListModel *list = m_manager->screenshots();
    connect(list, &QAbstractItemModel::rowsInserted, this, &EditorSession::captureIndexChanged);
    connect(list, &QAbstractItemModel::dataChanged, this, &EditorSession::refresh);
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

void EditorSession::refresh()
{
    const QImage current = m_manager->imageAt(captureIndex());
    if (current.cacheKey() == m_image.cacheKey())
        return;
    m_image = current;
    Q_EMIT imageChanged();
}
