#pragma once

#include "platform/Result.h"

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QThreadPool>

#include <functional>
#include <memory>

class CaptureEdits;
class PixelCodec;

/**
 * Where the captures' pixels live, so a stack of hundreds of 4K captures fits in memory: each
 * capture is compressed losslessly off the UI thread once its thumbnail is made, and kept raw
 * until the compressed copy has been decoded back to the very same bytes. Full pixels are
 * decoded on demand off the UI thread; a few recently decoded captures are cached, and a
 * capture whose editor is open stays decoded. A capture with saved edits keeps its original
 * pixels and the edits; what it hands out (load, source, image) is the flattened picture,
 * drawn off the UI thread, and the cache holds that; the original is there for the editor.
 * It also keeps the pictures inserted into edits (StoredImage), compressed the same way.
 * Owned by ScreenshotManager; the editor and the drag-out ask it for pixels. Lives on the
 * UI thread.
 */
class CaptureStore : public QObject
{
    Q_OBJECT

public:
    /// Gives a capture's full pixels on whichever thread calls it: at once when they are at
    /// hand, else by decoding. Holds its own copy of what it needs.
    using PixelSource = std::function<Result<QImage>()>;
    using Delivery = std::function<void(const Result<QImage> &)>;

    /// What the captures cost, in bytes of pixel data.
    struct Usage
    {
        qint64 rawBytes = 0;        // captures not (yet) compressed
        qint64 awaitingBytes = 0;   // of those, the ones still to be compressed
        qint64 compressedBytes = 0; // the compressed copies
        qint64 decodedBytes = 0;    // decoded copies in the cache, held ones included
        int rawCount = 0;
        int compressedCount = 0;
        int decodedCount = 0;
    };

    static constexpr int DefaultCacheSize = 2;

    /// `codec` null means the real one; `cacheSize` decoded captures are kept besides the
    /// held ones.
    explicit CaptureStore(std::shared_ptr<const PixelCodec> codec = nullptr,
                          int cacheSize = DefaultCacheSize, QObject *parent = nullptr);
    ~CaptureStore() override;

    /// Takes the pixels of capture `id`, new or in place of its earlier ones (and their
    /// edits); kept raw until compress().
    void insert(quint64 id, const QImage &image);
    /// Keeps a picture that is not a capture (an image inserted into edits) under a new key
    /// of its own, compressing it at once; remove() lets go of it.
    quint64 keep(const QImage &image);
    /// The edits drawn over capture `id` from now on; null: none, the original is handed
    /// out again. Nothing for an unknown id.
    void setEdits(quint64 id, std::shared_ptr<const CaptureEdits> edits);
    /// The saved edits of `id`, null when it has none.
    std::shared_ptr<const CaptureEdits> edits(quint64 id) const;
    /// Starts compressing the raw pixels of `id` on the worker; nothing when they are already
    /// compressed or being compressed, or failed to compress before.
    void compress(quint64 id);
    /// Lets go of every copy of the pixels of `id` (raw, compressed, decoded); results of
    /// work still running for it are dropped when they arrive. Copies already handed out
    /// (a drag, the clipboard) live on with their holders.
    void remove(quint64 id);

    bool contains(quint64 id) const { return m_entries.contains(id); }
    bool isCompressed(quint64 id) const;
    /// The pixels handed out (flattened, for an edited capture) if they are at hand (raw or
    /// decoded), a null image otherwise.
    QImage readyImage(quint64 id) const;
    /// The pixels, decoding on this thread if need be (and not caching them): for tests and
    /// callers off the UI path. A null image if there is no such capture or it cannot be
    /// decoded.
    QImage image(quint64 id) const;
    /// Hands the pixels of `id` to `done` on the UI thread: at once when they are at hand,
    /// else once decoded on the worker (and cached). A capture that cannot be decoded is
    /// reported in one line and `done` gets the failure. Nothing is delivered once
    /// `context` is gone.
    void load(quint64 id, QObject *context, Delivery done);
    /// See PixelSource; the failure for an unknown id.
    PixelSource source(quint64 id) const;
    /// Hands the original pixels of `id`, without its edits, to `done` on the UI thread, as
    /// load() does (decoded ones are not cached, their receiver holds them).
    void loadOriginal(quint64 id, QObject *context, Delivery done);
    /// Keeps the pixels of `id` decoded for as long as `holder` lives.
    void keepDecoded(quint64 id, QObject *holder);

    Usage usage() const;
    /// Waits until no compression or decoding is running (for tests and benchmarks).
    void waitForWorkers();

Q_SIGNALS:
    /// The compressed copy of `id` was verified and its raw pixels let go.
    void compressed(quint64 id);
    /// Compressing `id` failed; its raw pixels stay.
    void compressionFailed(quint64 id);

private:
    struct Entry
    {
        quint64 generation = 0; // counts insertions, so late results for old pixels are dropped
        quint64 editsGeneration = 0; // counts changes of the edits, the same way
        std::shared_ptr<const CaptureEdits> edits;
        QImage raw;
        QByteArray packed;
        bool compressing = false;
        bool compressionFailed = false;
        bool decoding = false;
        QList<std::pair<QPointer<QObject>, Delivery>> waiting;
    };
    struct Decoded
    {
        quint64 id = 0;
        quint64 generation = 0;
        quint64 editsGeneration = 0;
        QImage image;
    };

    void finishCompression(quint64 id, quint64 generation, const Result<QByteArray> &packed);
    void finishDecoding(quint64 id, quint64 generation, quint64 editsGeneration,
                        const Result<QImage> &image);
    QImage cached(quint64 id) const;
    void remember(quint64 id, quint64 generation, quint64 editsGeneration, const QImage &image);
    /// Gives the original pixels of `entry`, decoding if need be, on any thread.
    PixelSource originalSource(const Entry &entry) const;
    void trimCache();
    void logDecodeFailure(quint64 id, const QString &error) const;

    std::shared_ptr<const PixelCodec> m_codec;
    int m_cacheSize;
    QHash<quint64, Entry> m_entries;
    QList<Decoded> m_cache; // most recently used first
    QHash<quint64, int> m_holds;
    // Keys of kept pictures, apart from the capture ids ScreenshotManager counts from 1.
    quint64 m_nextKeptKey = quint64(1) << 62;
    // One thread each: compression never delays a decode someone waits for, and neither
    // competes with the UI thread for more than one core.
    QThreadPool m_compressWorker;
    QThreadPool m_decodeWorker;
};
