#include "FakePixelCodec.h"

Result<QByteArray> FakePixelCodec::compress(const QImage &image) const
{
    ++m_compressCalls;
    pass(true);
    {
        std::lock_guard lock(m_mutex);
        if (!m_compressError.isEmpty())
            return Result<QByteArray>::failure(m_compressError);
    }
    return m_real.compress(image);
}

Result<QImage> FakePixelCodec::decompress(const QByteArray &packed) const
{
    ++m_decompressCalls;
    pass(false);
    {
        std::lock_guard lock(m_mutex);
        if (!m_decompressError.isEmpty())
            return Result<QImage>::failure(m_decompressError);
    }
    Result<QImage> image = m_real.decompress(packed);
    if (image.ok() && m_changePixel) {
        QImage &changed = image.value();
        changed.setPixel(0, 0, changed.pixel(0, 0) ^ 0x00010101u);
    }
    return image;
}

void FakePixelCodec::failCompress(const QString &message)
{
    std::lock_guard lock(m_mutex);
    m_compressError = message;
}

void FakePixelCodec::failDecompress(const QString &message)
{
    std::lock_guard lock(m_mutex);
    m_decompressError = message;
}

void FakePixelCodec::closeCompressGate()
{
    std::lock_guard lock(m_mutex);
    m_compressGateClosed = true;
}

void FakePixelCodec::closeDecompressGate()
{
    std::lock_guard lock(m_mutex);
    m_decompressGateClosed = true;
}

void FakePixelCodec::openGates()
{
    {
        std::lock_guard lock(m_mutex);
        m_compressGateClosed = false;
        m_decompressGateClosed = false;
    }
    m_opened.notify_all();
}

void FakePixelCodec::pass(bool compressing) const
{
    std::unique_lock lock(m_mutex);
    const auto open = [&] { return compressing ? !m_compressGateClosed : !m_decompressGateClosed; };
    if (open())
        return;
    ++m_waiting;
    m_opened.wait(lock, open);
    --m_waiting;
}
