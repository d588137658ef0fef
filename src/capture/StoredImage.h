#pragma once

#include "CaptureStore.h"

#include <QImage>
#include <QPointer>
#include <QSize>

#include <memory>

/**
 * A picture kept by a CaptureStore, compressed like the captures, for as long as a copy of
 * this handle lives: how an image inserted into a capture's annotations is held once the
 * edits are saved or kept as a draft. Copies share the one stored picture; the last one
 * gone lets go of it. UI thread only.
 */
class StoredImage
{
public:
    StoredImage() = default;
    /// Hands `image` to `store`, which compresses it off the UI thread.
    StoredImage(CaptureStore *store, const QImage &image);

    bool isNull() const { return !m_held; }
    /// The same stored picture (two null handles are the same too).
    bool operator==(const StoredImage &other) const { return m_held == other.m_held; }
    QSize size() const { return m_held ? m_held->size : QSize(); }
    /// The picture, decoded on this thread if need be; a null image if the store is gone.
    QImage image() const;
    /// The picture on any thread, as CaptureStore::source gives it.
    CaptureStore::PixelSource source() const;

private:
    struct Held
    {
        QPointer<CaptureStore> store;
        quint64 key = 0;
        QSize size;
        ~Held();
    };
    std::shared_ptr<const Held> m_held;
};
