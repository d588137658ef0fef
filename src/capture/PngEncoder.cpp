#include "PngEncoder.h"

#include <libdeflate.h>

#include <QtEndian>

#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <vector>

namespace {

constexpr unsigned char Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
constexpr int ChunkOverhead = 12; // length, type, CRC
constexpr int HeaderDataSize = 13;
constexpr unsigned char SubFilter = 1;

struct CompressorDeleter
{
    void operator()(libdeflate_compressor *c) const { libdeflate_free_compressor(c); }
};

unsigned char *putChunkStart(unsigned char *out, quint32 dataSize, const char type[4])
{
    qToBigEndian(dataSize, out);
    std::memcpy(out + 4, type, 4);
    return out + 8;
}

/// Writes the CRC of the chunk whose type starts at `typeStart` and whose data ends at `end`.
unsigned char *putChunkCrc(unsigned char *typeStart, unsigned char *end)
{
    const quint32 crc = libdeflate_crc32(0, typeStart, size_t(end - typeStart));
    qToBigEndian(crc, end);
    return end + 4;
}

/// Every row as PNG wants it: its filter byte, then its samples with the SUB filter applied
/// (each byte minus the same channel of the pixel to its left).
std::vector<unsigned char> filteredRows(const QImage &image, bool alpha)
{
    const int width = image.width();
    const int height = image.height();
    const int channels = alpha ? 4 : 3;
    const size_t stride = 1 + size_t(width) * channels;
    std::vector<unsigned char> rows(stride * size_t(height));

    for (int y = 0; y < height; ++y) {
        unsigned char *out = rows.data() + stride * size_t(y);
        *out++ = SubFilter;
        if (alpha) {
            // Format_RGBA8888: bytes already in PNG order, straight (not premultiplied).
            const uchar *in = image.constScanLine(y);
            unsigned char previous[4] = {0, 0, 0, 0};
            for (int x = 0; x < width; ++x) {
                for (int c = 0; c < 4; ++c) {
                    const unsigned char value = in[c];
                    out[c] = static_cast<unsigned char>(value - previous[c]);
                    previous[c] = value;
                }
                in += 4;
                out += 4;
            }
        } else {
            // Format_RGB32 / ARGB32: one 0xAARRGGBB word per pixel, alpha ignored.
            const QRgb *in = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            unsigned char pr = 0, pg = 0, pb = 0;
            for (int x = 0; x < width; ++x) {
                const QRgb pixel = in[x];
                const auto r = static_cast<unsigned char>(pixel >> 16);
                const auto g = static_cast<unsigned char>(pixel >> 8);
                const auto b = static_cast<unsigned char>(pixel);
                out[0] = static_cast<unsigned char>(r - pr);
                out[1] = static_cast<unsigned char>(g - pg);
                out[2] = static_cast<unsigned char>(b - pb);
                pr = r;
                pg = g;
                pb = b;
                out += 3;
            }
        }
    }
    return rows;
}

/// Whether any pixel is less than fully opaque; an opaque picture is stored without alpha.
bool hasTransparency(const QImage &image)
{
    if (!image.hasAlphaChannel())
        return false;
    const QImage argb = image.format() == QImage::Format_ARGB32 ||
                                image.format() == QImage::Format_ARGB32_Premultiplied
                            ? image
                            : image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            if (qAlpha(line[x]) != 255)
                return true;
        }
    }
    return false;
}

} // namespace

namespace PngEncoder {

Result<QByteArray> encode(const QImage &image)
{
    if (image.isNull())
        return Result<QByteArray>::failure(QStringLiteral("the image is empty"));

    try {
        const bool alpha = hasTransparency(image);
        QImage source;
        if (alpha)
            source = image.convertToFormat(QImage::Format_RGBA8888);
        else if (image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32)
            source = image;
        else
            source = image.convertToFormat(QImage::Format_RGB32);
        if (source.isNull())
            return Result<QByteArray>::failure(QStringLiteral("the image could not be converted"));

        const std::vector<unsigned char> rows = filteredRows(source, alpha);

        std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
            libdeflate_alloc_compressor(1));
        if (!compressor)
            return Result<QByteArray>::failure(QStringLiteral("out of memory"));
        const size_t bound = libdeflate_zlib_compress_bound(compressor.get(), rows.size());
        const size_t headerSize = sizeof(Signature) + ChunkOverhead + HeaderDataSize;
        const size_t fixedSize = headerSize + 2 * ChunkOverhead; // plus IDAT and IEND framing
        if (bound > size_t(std::numeric_limits<qint32>::max()) - fixedSize)
            return Result<QByteArray>::failure(QStringLiteral("the image is too large"));

        QByteArray png(qsizetype(fixedSize + bound), Qt::Uninitialized);
        auto *out = reinterpret_cast<unsigned char *>(png.data());

        std::memcpy(out, Signature, sizeof(Signature));
        unsigned char *chunk = out + sizeof(Signature);
        unsigned char *data = putChunkStart(chunk, HeaderDataSize, "IHDR");
        qToBigEndian(quint32(source.width()), data);
        qToBigEndian(quint32(source.height()), data + 4);
        data[8] = 8;             // bits per sample
        data[9] = alpha ? 6 : 2; // colour type: RGBA or RGB
        data[10] = 0;            // deflate
        data[11] = 0;            // adaptive filtering
        data[12] = 0;            // not interlaced
        unsigned char *next = putChunkCrc(chunk + 4, data + HeaderDataSize);

        // One IDAT chunk holds the whole zlib stream: it is written in place, no copy.
        unsigned char *idat = next;
        unsigned char *idatData = putChunkStart(idat, 0, "IDAT");
        const size_t compressed =
            libdeflate_zlib_compress(compressor.get(), rows.data(), rows.size(), idatData, bound);
        if (compressed == 0)
            return Result<QByteArray>::failure(QStringLiteral("compression failed"));
        qToBigEndian(quint32(compressed), idat);
        next = putChunkCrc(idat + 4, idatData + compressed);

        unsigned char *iend = next;
        next = putChunkCrc(iend + 4, putChunkStart(iend, 0, "IEND"));

        png.truncate(qsizetype(next - out));
        return png;
    } catch (const std::bad_alloc &) {
        return Result<QByteArray>::failure(QStringLiteral("out of memory"));
    }
}

} // namespace PngEncoder
