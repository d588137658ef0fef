#pragma once

#include <QImage>
#include <QMimeData>

#include "platform/Result.h"

#include <chrono>
#include <functional>
#include <memory>

class QThreadPool;
class TemporaryFiles;

/**
 * What a capture dragged out of the stack, or copied to the clipboard, offers a receiver: the
 * capture as a PNG file (`text/uri-list`) and the same PNG bytes (`image/png`). For a drag
 * the PNG is encoded in the background from the moment the drag starts (the pointer is on
 * its way to a receiver); for the clipboard only once a program first asks (most copies are
 * never pasted, and a copy of every new capture must not compete with the captures). Either
 * way it is encoded once, from the full pixels the capture store gives
 * there (decoding them if need be); the file "Screenshot-<UUID>.png" is written
 * only when a receiver first asks for it, and every later request gets the same path. A
 * receiver asks on the UI thread and is answered there, so a request waits for the work
 * still running, but no longer than the wait limit: past it the drag is given up, and work
 * that ends later writes nothing. On failure the receiver gets nothing and one line is
 * logged. Made by DragOut and ClipboardCopy.
 */
class DragOutData final : public QMimeData
{
    Q_OBJECT

public:
    /// Gives the capture's pixels; called once, on `pool`.
    using Pixels = std::function<Result<QImage>()>;

    /// When the encoding starts, and what a failure's line begins with.
    enum class Purpose {
        Drag,      ///< at once; "Drag-out failed: "
        Clipboard, ///< at the first request; "Copy failed: "
    };

    /// How long the UI thread waits for the PNG or its file before the receiver gets nothing.
    static constexpr std::chrono::milliseconds defaultWaitLimit{10'000};

    DragOutData(Pixels pixels, std::shared_ptr<const TemporaryFiles> files, QThreadPool *pool,
                std::chrono::milliseconds waitLimit = defaultWaitLimit,
                Purpose purpose = Purpose::Drag);
    /// The same for pixels at hand.
    DragOutData(const QImage &image, std::shared_ptr<const TemporaryFiles> files, QThreadPool *pool,
                std::chrono::milliseconds waitLimit = defaultWaitLimit,
                Purpose purpose = Purpose::Drag);
    ~DragOutData() override;

    QStringList formats() const override;
    bool hasFormat(const QString &mimeType) const override;

    /// The file handed out; empty until a receiver has asked for it, or when it failed.
    QString filePath() const;
    /// Whether the PNG is being made or made (for a drag from the start, for the clipboard
    /// from the first request).
    bool encodingStarted() const;

    /// "Screenshot-" + a fresh UUID in upper case + ".png".
    static QString newFileName();

protected:
    QVariant retrieveData(const QString &mimeType, QMetaType type) const override;

private:
    struct Work;
    /// Starts the encoding unless it has started; `m_work->mutex` is held.
    void startEncoding() const;

    std::shared_ptr<Work> m_work;
    QThreadPool *m_pool;
    std::chrono::milliseconds m_waitLimit;
};
