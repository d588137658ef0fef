#include "ClipboardCopy.h"

#include "capture/DragOutData.h"
#include "capture/ScreenshotManager.h"
#include "platform/Clipboard.h"
#include "platform/Log.h"

ClipboardCopy::ClipboardCopy(ScreenshotManager *manager, Clipboard *clipboard,
                             std::shared_ptr<const TemporaryFiles> files, QObject *parent)
    : QObject(parent), m_manager(manager), m_clipboard(clipboard), m_files(std::move(files)),
      m_waitLimit(DragOutData::defaultWaitLimit)
{}

ClipboardCopy::~ClipboardCopy()
{
    // The offer starts its work on this object's pool: past this point nobody could answer
    // a request (a clipboard manager asks as the program quits), so it is taken back.
    if (m_offered && m_clipboard->mimeData() == m_offered.data())
        m_clipboard->setMimeData(nullptr);
    m_pool.waitForDone();
}

bool ClipboardCopy::copyCapture(quint64 captureId)
{
    if (m_manager->indexOfCapture(captureId) < 0) {
        Log::line(QStringLiteral("Copy failed: the capture is no longer on the stack."));
        return false;
    }
    offer(new DragOutData(m_manager->store()->source(captureId), m_files, &m_pool, m_waitLimit,
                          DragOutData::Purpose::Clipboard));
    return true;
}

bool ClipboardCopy::copyLatest()
{
    if (m_manager->count() == 0) {
        Log::line(QStringLiteral("Nothing to copy: the stack is empty."));
        return false;
    }
    return copyCapture(m_manager->captureIdAt(0));
}

bool ClipboardCopy::copyImage(const QImage &image)
{
    if (image.isNull()) {
        Log::line(QStringLiteral("Copy failed: there is no picture to copy."));
        return false;
    }
    offer(new DragOutData(image, m_files, &m_pool, m_waitLimit, DragOutData::Purpose::Clipboard));
    return true;
}

const DragOutData *ClipboardCopy::offered() const
{
    return m_offered && m_clipboard->mimeData() == m_offered.data() ? m_offered.data() : nullptr;
}

void ClipboardCopy::offer(DragOutData *data)
{
    m_offered = data;
    m_clipboard->setMimeData(data);
}
