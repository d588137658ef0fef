#include "CaptureStore.h"

#include "capture/CaptureEdits.h"
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
    // Edits let go of their kept pictures through remove(): let them do it while the
    // entries are still whole.
    {
        const auto entries = std::exchange(m_entries, {});
    }
}

void CaptureStore::insert(quint64 id, const QImage &image)
{
    Entry &entry = m_entries[id];
    ++entry.generation;
    // Edits drawn for other pixels do not fit these; they go once the entry is whole.
    const std::shared_ptr<const CaptureEdits> earlier = std::exchange(entry.edits, nullptr);
    ++entry.editsGeneration;
    entry.raw = image;
    entry.packed = QByteArray();
    entry.compressing = false;
    entry.compressionFailed = false;
    m_cache.removeIf([id](const Decoded &decoded) { return decoded.id == id; });
}

quint64 CaptureStore::keep(const QImage &image)
{
    const quint64 key = m_nextKeptKey++;
    insert(key, image);
    compress(key);
    return key;
}

void CaptureStore::setEdits(quint64 id, std::shared_ptr<const CaptureEdits> edits)
{
    const auto it = m_entries.find(id);
    if (it == m_entries.end())
        return;
    // The edits replaced may hold the last handles of kept pictures, whose release edits the
    // entries: they go at the end, when `it` is no longer used.
    const std::shared_ptr<const CaptureEdits> earlier = std::exchange(it->edits, std::move(edits));
    ++it->editsGeneration;
    m_cache.removeIf([id](const Decoded &decoded) { return decoded.id == id; });
}

std::shared_ptr<const CaptureEdits> CaptureStore::edits(quint64 id) const
{
    const auto it = m_entries.constFind(id);
    return it == m_entries.cend() ? nullptr : it->edits;
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
    // An open editor's capture stays decoded: its raw pixels simply become the decoded copy
    // (of an edited capture, the flattened picture is what is cached).
    if (m_holds.value(id) > 0 && !entry.edits)
        remember(id, generation, entry.editsGeneration, entry.raw);
    entry.raw = QImage();
    // The raw pixels leave a screen-sized hole in the heap, which the C library keeps
    // resident unless asked: give it back, off this thread.
    m_compressWorker.start([] { MemoryPolicy::releaseFreedMemory(); });
    Q_EMIT compressed(id);
}

void CaptureStore::remove(quint64 id)
{
    // Taken out first: its edits may let go of kept pictures, which removes them in turn.
    const auto it = m_entries.find(id);
    if (it == m_entries.end())
        return;
    const Entry taken = std::move(*it);
    m_entries.erase(it);
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
    return it->raw.isNull() || it->edits ? cached(id) : it->raw;
}

QImage CaptureStore::cached(quint64 id) const
{
    const auto it = m_entries.constFind(id);
    if (it == m_entries.cend())
        return {};
    for (const Decoded &decoded : m_cache) {
        if (decoded.id == id && decoded.generation == it->generation &&
            decoded.editsGeneration == it->editsGeneration)
            return decoded.image;
    }
    return {};
}

QImage CaptureStore::image(quint64 id) const
{
    const QImage ready = readyImage(id);
    const auto it = m_entries.constFind(id);
    if (!ready.isNull() || it == m_entries.cend() || (!it->edits && it->packed.isEmpty()))
        return ready;
    Result<QImage> decoded = originalSource(*it)();
    if (decoded.ok() && it->edits)
        decoded = it->edits->renderer()(decoded.value());
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
    if (!entry.raw.isNull() && !entry.edits) {
        done(entry.raw);
        return;
    }
    if (const QImage decoded = cached(id); !decoded.isNull()) {
        // Now the most recently used.
        remember(id, entry.generation, entry.editsGeneration, decoded);
        done(decoded);
        return;
    }
    if (entry.raw.isNull() && entry.packed.isEmpty()) {
        done(Result<QImage>::failure(QStringLiteral("capture %1 has no pixels").arg(id)));
        return;
    }

    entry.waiting.append({QPointer<QObject>(context), std::move(done)});
    if (entry.decoding)
        return; // the decode already running serves this request too
    entry.decoding = true;
    m_decodeWorker.start(
        [this, id, generation = entry.generation, editsGeneration = entry.editsGeneration,
         original = originalSource(entry),
         renderer = entry.edits ? entry.edits->renderer() : CaptureEdits::Renderer()] {
            Result<QImage> image = original();
            if (image.ok() && renderer)
                image = renderer(image.value());
            QMetaObject::invokeMethod(
                this,
                [this, id, generation, editsGeneration, image] {
                    finishDecoding(id, generation, editsGeneration, image);
                },
                Qt::QueuedConnection);
        });
}

void CaptureStore::loadOriginal(quint64 id, QObject *context, Delivery done)
{
    const auto it = m_entries.constFind(id);
    if (it == m_entries.cend() || !it->edits) {
        load(id, context, std::move(done)); // the original is what load gives
        return;
    }
    if (!it->raw.isNull()) {
        done(it->raw);
        return;
    }
    m_decodeWorker.start([this, id, generation = it->generation, original = originalSource(*it),
                          context = QPointer<QObject>(context), done = std::move(done)] {
        const Result<QImage> image = original();
        QMetaObject::invokeMethod(
            this,
            [this, id, generation, context, done, image] {
                const auto it = m_entries.constFind(id);
                if (!context || it == m_entries.cend() || it->generation != generation)
                    return;
                if (!image.ok())
                    logDecodeFailure(id, image.error());
                done(image);
            },
            Qt::QueuedConnection);
    });
}

CaptureStore::PixelSource CaptureStore::originalSource(const Entry &entry) const
{
    if (!entry.raw.isNull())
        return [raw = entry.raw] { return Result<QImage>(raw); };
    return [packed = entry.packed, codec = m_codec] { return codec->decompress(packed); };
}

void CaptureStore::finishDecoding(quint64 id, quint64 generation, quint64 editsGeneration,
                                  const Result<QImage> &image)
{
    const auto it = m_entries.find(id);
    if (it == m_entries.end())
        return;
    it->decoding = false;
    const auto waiting = std::exchange(it->waiting, {});
    if (it->generation != generation || it->editsGeneration != editsGeneration) {
        // New pixels arrived while the old ones were decoding: serve the new ones.
        for (const auto &[context, done] : waiting) {
            if (context)
                load(id, context, done);
        }
        return;
    }
    if (image.ok())
        remember(id, generation, editsGeneration, image.value());
    // Drawing the edits left a few screen-sized holes in the heap: give them back, off this
    // thread.
    if (it->edits)
        m_compressWorker.start([] { MemoryPolicy::releaseFreedMemory(); });
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
    if (it == m_entries.cend() || (it->raw.isNull() && it->packed.isEmpty())) {
        return [id] {
            return Result<QImage>::failure(QStringLiteral("there is no capture %1").arg(id));
        };
    }
    return [original = originalSource(*it),
            renderer = it->edits ? it->edits->renderer() : CaptureEdits::Renderer()] {
        Result<QImage> image = original();
        if (!image.ok())
            return Result<QImage>::failure(QStringLiteral("cannot decode the capture: ") +
                                           image.error());
        if (renderer)
            image = renderer(image.value());
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

void CaptureStore::remember(quint64 id, quint64 generation, quint64 editsGeneration,
                            const QImage &image)
{
    m_cache.removeIf([id](const Decoded &decoded) { return decoded.id == id; });
    m_cache.prepend(Decoded{id, generation, editsGeneration, image});
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
