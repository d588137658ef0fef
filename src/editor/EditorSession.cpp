#include "EditorSession.h"

#include "capture/ScreenshotManager.h"
#include "editor/document/SavedEdits.h"

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

void EditorSession::setWindow(QWindow *window)
{
    if (m_window)
        disconnect(m_window, nullptr, this, nullptr);
    m_window = window;
    if (window) {
        connect(window, &QWindow::visibleChanged, this, [this](bool visible) {
            if (!visible)
                announceClosing();
        });
    }
}

CaptureStore *EditorSession::store() const
{
    return m_manager->store();
}

std::shared_ptr<const SavedEdits> EditorSession::savedEdits() const
{
    return std::dynamic_pointer_cast<const SavedEdits>(m_manager->edits(m_captureId));
}

std::shared_ptr<const SavedEdits> EditorSession::draft() const
{
    return std::dynamic_pointer_cast<const SavedEdits>(m_manager->draft(m_captureId));
}

bool EditorSession::saveEdits(std::shared_ptr<const SavedEdits> edits)
{
    return m_captureId && m_manager->setEdits(m_captureId, std::move(edits));
}

void EditorSession::keepDraft(std::shared_ptr<const SavedEdits> draft)
{
    if (m_captureId)
        m_manager->setDraft(m_captureId, std::move(draft));
}

void EditorSession::close()
{
    announceClosing();
    if (m_onClose)
        m_onClose();
}

void EditorSession::announceClosing()
{
    if (m_closing)
        return;
    m_closing = true;
    Q_EMIT closing();
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
    m_manager->store()->loadOriginal(m_captureId, this,
                                     [this, revision](const Result<QImage> &image) {
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
