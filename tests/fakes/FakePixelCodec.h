#pragma once

#include "capture/ZstdPixelCodec.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <mutex>

/**
 * The real codec with switches for tests: each direction can fail with a given message or
 * hand back other pixels, and either can be held at a gate until the test opens it. Safe to
 * switch from the test thread while the store's workers call it.
 */
class FakePixelCodec final : public PixelCodec
{
public:
    Result<QByteArray> compress(const QImage &image) const override;
    Result<QImage> decompress(const QByteArray &packed) const override;

    /// An empty message means success.
    void failCompress(const QString &message);
    void failDecompress(const QString &message);
    /// Decoding gives back the right image with one pixel changed.
    void changePixelOnDecompress(bool change) { m_changePixel = change; }

    /// While closed, calls wait at the gate (compressions and decodes separately).
    void closeCompressGate();
    void closeDecompressGate();
    void openGates();

    int compressCalls() const { return m_compressCalls; }
    int decompressCalls() const { return m_decompressCalls; }
    /// Calls waiting at a gate now.
    int waiting() const { return m_waiting; }

private:
    void pass(bool compressing) const;

    ZstdPixelCodec m_real;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_opened;
    QString m_compressError;
    QString m_decompressError;
    bool m_compressGateClosed = false;
    bool m_decompressGateClosed = false;
    std::atomic<bool> m_changePixel = false;
    mutable std::atomic<int> m_compressCalls = 0;
    mutable std::atomic<int> m_decompressCalls = 0;
    mutable std::atomic<int> m_waiting = 0;
};
