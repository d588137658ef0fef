#include "CaptureStore.h"

#include "capture/ZstdPixelCodec.h"
#include "platform/Log.h"
#include "platform/MemoryPolicy.h"

#include <QColorSpace>
#include <QCoreApplication>

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

/// Same format, size, ratio, colours and every byte of every row.
bool identical(const QImage &a, const QImage &b)
{
    if (a.format() != b.format() || a.size() != b.size() ||
        a.devicePixelRatio() != b.devicePixelRatio() || a.colorTable() != b.colorTable() ||
        a.colorSpace() != b.colorSpace())
        return false;
    const size_t lineBytes = (size_t(a.width()) * size_t(a.depth()) + 7) / 8;
    for (int y = 0; y < a.height(); ++y) {
        if (std::memcmp(a.constScanLine(y), b.constScanLine(y), lineBytes) != 0)
            return false;
    }
    return true;
}

} // namespace

CaptureStore::CaptureStore(std::shared_ptr<const PixelCodec> codec, int cacheSize, QObject *parent)
    : QObject(parent), m_codec(codec ? std::move(codec) : std::make_shared<ZstdPixelCodec>()),
      m_cacheSize(std::max(0, cacheSize))
{
    m_compressWorker.setMaxThreadCount(1);
    m_decodeWorker.setMaxThreadCount(1);
}

CaptureStore::~CaptureStore()
{
    // Jobs post back to this object: let the running ones finish first. Those not started
    // are dropped with the captures: after a burst, quitting would otherwise wait for
    // every queued compression.
    m_compressWorker.clear();
    m_decodeWorker.clear();
    m_compressWorker.waitForDone();
    m_decodeWorker.waitForDone();
}

void CaptureStore::insert(quint64 id, const QImage &image)
{
    Entry &entry = m_entries[id];
    ++entry.generation;
    entry.raw = image;
    entry.packed = QByteArray();
    entry.compressing = false;
    entry.compressionFailed = false;
    m_cache.removeIf([id](const Decoded &decoded) { return decoded.id == id; });
}

void CaptureStore::compress(quint64 id)
{
    const auto it = m_entries.find(id);
    if (it == m_entries.end())
        return;
    Entry &entry = *it;
    if (entry.raw.isNull() || !entry.packed.isEmpty() || entry.compressing ||
        entry.compressionFailed)
        return;
    entry.compressing = true;
    m_compressWorker.start(
        [this, id, generation = entry.generation, image = entry.raw, codec = m_codec] {
            Result<QByteArray> packed = codec->compress(image);
            // The raw pixels go only once the copy is known to give them back.
            if (packed.ok()) {
                const Result<QImage> back = codec->decompress(packed.value());
                if (!back.ok())
                    packed = Result<QByteArray>::failure(
                        QStringLiteral("the compressed copy does not decode: ") + back.error());
                else if (!identical(back.value(), image))
                    packed = Result<QByteArray>::failure(
                        QStringLiteral("the compressed copy decodes to other pixels"));
            }
            QMetaObject::invokeMethod(
                this, [this, id, generation, packed] { finishCompression(id, generation, packed); },
                Qt::QueuedConnection);
        });
}

void CaptureStore::finishCompression(quint64 id, quint64 generation,
                                     const Result<QByteArray> &packed)
{
    const auto it = m_entries.find(id);
    if (it == m_entries.end() || it->generation != generation)
        return; // newer pixels took their place meanwhile
    Entry &entry = *it;
    entry.compressing = false;
    if (!packed.ok()) {
        entry.compressionFailed = true;
        Log::line(QStringLiteral("Capture %1 stays uncompressed: %2").arg(id).arg(packed.error()));
        Q_EMIT compressionFailed(id);
        return;
    }
    entry.packed = packed.value();
    // An open editor's capture stays decoded: its raw pixels simply become the decoded copy.
    if (m_holds.value(id) > 0)
        remember(id, generation, entry.raw);
    entry.raw = QImage();
    // The raw pixels leave a screen-sized hole in the heap, which the C library keeps
    // resident unless asked: give it back, off this thread.
    m_compressWorker.start([] { MemoryPolicy::releaseFreedMemory(); });
    Q_EMIT compressed(id);
}

void CaptureStore::remove(quint64 id)
{
    if (m_entries.remove(id) == 0)
        return;
    m_cache.removeIf([id](const Decoded &decoded) { return decoded.id == id; });
    // A screen-sized hole again: give it back, off this thread.
    m_compressWorker.start([] { MemoryPolicy::releaseFreedMemory(); });
}

bool CaptureStore::isCompressed(quint64 id) const
{
    const auto it = m_entries.constFind(id);
    return it != m_entries.cend() && !it->packed.isEmpty();
}

QImage CaptureStore::readyImage(quint64 id) const
{
    const auto it = m_entries.constFind(id);
    if (it == m_entries.cend())
        return {};
    return it->raw.isNull() ? cached(id) : it->raw;
}

QImage CaptureStore::cached(quint64 id) const
{
    const auto it = m_entries.constFind(id);
    if (it == m_entries.cend())
        return {};
    for (const Decoded &decoded : m_cache) {
        if (decoded.id == id && decoded.generation == it->generation)
            return decoded.image;
    }
    return {};
}

QImage CaptureStore::image(quint64 id) const
{
    const QImage ready = readyImage(id);
    if (!ready.isNull() || !isCompressed(id))
        return ready;
    const Result<QImage> decoded = m_codec->decompress(m_entries.value(id).packed);
    if (!decoded.ok()) {
        logDecodeFailure(id, decoded.error());
        return {};
    }
    return decoded.value();
}

void CaptureStore::load(quint64 id, QObject *context, Delivery done)
{
    const auto it = m_entries.find(id);
    if (it == m_entries.end()) {
        done(Result<QImage>::failure(QStringLiteral("there is no capture %1").arg(id)));
        return;
    }
    Entry &entry = *it;
    if (!entry.raw.isNull()) {
        done(entry.raw);
        return;
    }
    if (const QImage decoded = cached(id); !decoded.isNull()) {
        remember(id, entry.generation, decoded); // now the most recently used
        done(decoded);
        return;
    }
    if (entry.packed.isEmpty()) {
        done(Result<QImage>::failure(QStringLiteral("capture %1 has no pixels").arg(id)));
        return;
    }

    entry.waiting.append({QPointer<QObject>(context), std::move(done)});
    if (entry.decoding)
        return; // the decode already running serves this request too
    entry.decoding = true;
    m_decodeWorker.start(
        [this, id, generation = entry.generation, packed = entry.packed, codec = m_codec] {
            const Result<QImage> image = codec->decompress(packed);
            QMetaObject::invokeMethod(
                this, [this, id, generation, image] { finishDecoding(id, generation, image); },
                Qt::QueuedConnection);
        });
}

void CaptureStore::finishDecoding(quint64 id, quint64 generation, const Result<QImage> &image)
{
    const auto it = m_entries.find(id);
    if (it == m_entries.end())
        return;
    it->decoding = false;
    const auto waiting = std::exchange(it->waiting, {});
    if (it->generation != generation) {
        // New pixels arrived while the old ones were decoding: serve the new ones.
        for (const auto &[context, done] : waiting) {
            if (context)
                load(id, context, done);
        }
        return;
    }
    if (image.ok())
        remember(id, generation, image.value());
    else
        logDecodeFailure(id, image.error());
    for (const auto &[context, done] : waiting) {
        if (context)
            done(image);
    }
}

CaptureStore::PixelSource CaptureStore::source(quint64 id) const
{
    if (const QImage ready = readyImage(id); !ready.isNull())
        return [ready] { return Result<QImage>(ready); };
    const auto it = m_entries.constFind(id);
    if (it == m_entries.cend() || it->packed.isEmpty()) {
        return [id] {
            return Result<QImage>::failure(QStringLiteral("there is no capture %1").arg(id));
        };
    }
    return [packed = it->packed, codec = m_codec] {
        Result<QImage> image = codec->decompress(packed);
        if (!image.ok())
            return Result<QImage>::failure(QStringLiteral("cannot decode the capture: ") +
                                           image.error());
        return image;
    };
}

void CaptureStore::keepDecoded(quint64 id, QObject *holder)
{
    ++m_holds[id];
    connect(holder, &QObject::destroyed, this, [this, id] {
        if (--m_holds[id] <= 0)
            m_holds.remove(id);
        trimCache();
    });
}

void CaptureStore::remember(quint64 id, quint64 generation, const QImage &image)
{
    m_cache.removeIf([id](const Decoded &decoded) { return decoded.id == id; });
    m_cache.prepend(Decoded{id, generation, image});
    trimCache();
}

void CaptureStore::trimCache()
{
    int kept = 0;
    m_cache.removeIf([this, &kept](const Decoded &decoded) {
        if (m_holds.contains(decoded.id))
            return false;
        return ++kept > m_cacheSize;
    });
}

void CaptureStore::logDecodeFailure(quint64 id, const QString &error) const
{
    Log::line(QStringLiteral("Capture %1 cannot be decoded: %2").arg(id).arg(error));
}

CaptureStore::Usage CaptureStore::usage() const
{
    Usage usage;
    for (const Entry &entry : m_entries) {
        if (!entry.raw.isNull()) {
            usage.rawBytes += entry.raw.sizeInBytes();
            ++usage.rawCount;
            if (entry.packed.isEmpty() && !entry.compressionFailed)
                usage.awaitingBytes += entry.raw.sizeInBytes();
        }
        if (!entry.packed.isEmpty()) {
            usage.compressedBytes += entry.packed.size();
            ++usage.compressedCount;
        }
    }
    for (const Decoded &decoded : m_cache) {
        usage.decodedBytes += decoded.image.sizeInBytes();
        ++usage.decodedCount;
    }
    return usage;
}

void CaptureStore::waitForWorkers()
{
    m_compressWorker.waitForDone();
    m_decodeWorker.waitForDone();
    // Their results are queued to this object: take them in now.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}
