#include "PngDecoder.h"

#include <libdeflate.h>

#include <QBuffer>
#include <QIODevice>
#include <QImageReader>
#include <QtEndian>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

constexpr unsigned char Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
constexpr size_t ChunkOverhead = 12; // length, type, CRC
constexpr quint32 HeaderDataSize = 13;
constexpr quint32 MaxChunkLength = 0x7fffffffu;

enum Filter : unsigned char { None = 0, Sub = 1, Up = 2, Average = 3, Paeth = 4 };

struct DecompressorDeleter
{
    void operator()(libdeflate_decompressor *d) const { libdeflate_free_decompressor(d); }
};

bool isType(const unsigned char *type, const char (&name)[5])
{
    return std::memcmp(type, name, 4) == 0;
}

/// Walks a PNG file's chunks after the signature, reading each one's length and type with
/// `readHead(pos, head)`: false when one claims more than the file's `size` bytes hold.
/// Stops at IEND, or at the first IDAT when only the chunks before the pixels matter.
template <typename ReadHead> bool chunksFit(qint64 size, bool beforePixelsOnly, ReadHead readHead)
{
    unsigned char head[8];
    for (qint64 pos = sizeof Signature; size - pos >= qint64(ChunkOverhead);) {
        if (!readHead(pos, head))
            return true; // cut short: Qt's reader says so without allocating
        const quint32 length = qFromBigEndian<quint32>(head);
        if (length > quint64(size - pos) - ChunkOverhead)
            return false;
        if (isType(head + 4, "IEND") || (beforePixelsOnly && isType(head + 4, "IDAT")))
            return true;
        pos += qint64(ChunkOverhead) + length;
    }
    return true; // cut between chunks: Qt's reader says so without allocating
}

struct Header
{
    quint32 width = 0;
    quint32 height = 0;
    int channels = 0;
};

/// What the fast path takes: 8-bit RGB or RGBA, the standard compression and filter
/// method, no interlacing.
std::optional<Header> readHeader(const unsigned char *data)
{
    Header header;
    header.width = qFromBigEndian<quint32>(data);
    header.height = qFromBigEndian<quint32>(data + 4);
    const unsigned char bitDepth = data[8];
    const unsigned char colourType = data[9];
    if (header.width == 0 || header.height == 0 || header.width > MaxChunkLength ||
        header.height > MaxChunkLength ||
        qint64(header.width) * header.height > PngDecoder::MaximumPixels)
        return std::nullopt;
    if (bitDepth != 8 || data[10] != 0 || data[11] != 0 || data[12] != 0)
        return std::nullopt;
    if (colourType == 2)
        header.channels = 3;
    else if (colourType == 6)
        header.channels = 4;
    else
        return std::nullopt;
    return header;
}

/// Chunks that change what the pixels mean (a palette, a transparent colour, gamma and
/// colour spaces) are left to Qt, so that both paths agree on every file.
bool changesPixels(const unsigned char *type)
{
    return isType(type, "PLTE") || isType(type, "tRNS") || isType(type, "gAMA") ||
           isType(type, "cHRM") || isType(type, "sRGB") || isType(type, "iCCP") ||
           isType(type, "sBIT");
}

int paeth(int a, int b, int c)
{
    const int pa = std::abs(b - c);
    const int pb = std::abs(a - c);
    const int pc = std::abs(a + b - 2 * c);
    if (pa <= pb && pa <= pc)
        return a;
    return pb <= pc ? b : c;
}

/// Undoes one row's filter in place; `previous` is the row above, already restored (zeros
/// above the first row).
template <int N>
bool unfilterRow(unsigned char filter, unsigned char *row, const unsigned char *previous,
                 size_t length)
{
    switch (filter) {
    case None:
        return true;
    case Sub:
        for (size_t i = N; i < length; ++i)
            row[i] = static_cast<unsigned char>(row[i] + row[i - N]);
        return true;
    case Up:
        for (size_t i = 0; i < length; ++i)
            row[i] = static_cast<unsigned char>(row[i] + previous[i]);
        return true;
    case Average:
        for (size_t i = 0; i < N; ++i)
            row[i] = static_cast<unsigned char>(row[i] + (previous[i] >> 1));
        for (size_t i = N; i < length; ++i)
            row[i] = static_cast<unsigned char>(row[i] + ((row[i - N] + previous[i]) >> 1));
        return true;
    case Paeth:
        for (size_t i = 0; i < N; ++i)
            row[i] = static_cast<unsigned char>(row[i] + previous[i]);
        for (size_t i = N; i < length; ++i)
            row[i] = static_cast<unsigned char>(row[i] +
                                                paeth(row[i - N], previous[i], previous[i - N]));
        return true;
    default:
        return false;
    }
}

template <int N> bool restorePixels(unsigned char *rows, const Header &header, QImage &image)
{
    const size_t length = size_t(header.width) * N;
    const std::vector<unsigned char> zeros(length, 0);
    const unsigned char *previous = zeros.data();
    for (quint32 y = 0; y < header.height; ++y) {
        unsigned char *row = rows + y * (length + 1);
        if (!unfilterRow<N>(row[0], row + 1, previous, length))
            return false;
        ++row;
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(int(y)));
        for (quint32 x = 0; x < header.width; ++x, row += N) {
            if constexpr (N == 3)
                out[x] = qRgb(row[0], row[1], row[2]);
            else
                out[x] = qRgba(row[0], row[1], row[2], row[3]);
        }
        previous = row - length;
    }
    return true;
}

Result<QImage> decodeWithQt(const QByteArray &bytes)
{
    QByteArray copy = bytes; // QBuffer wants a non-const array; this shares the data
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(false);
    const auto tooLarge = [](QSize size) {
        return qint64(size.width()) * size.height() > PngDecoder::MaximumPixels;
    };
    // Judged from the header where the format tells, and again on what came out (Qt's own
    // limit counts bytes, not pixels).
    if (reader.size().isValid() && tooLarge(reader.size()))
        return Result<QImage>::failure(QStringLiteral("the picture is too large"));
    const QImage image = reader.read();
    if (image.isNull())
        return Result<QImage>::failure(reader.errorString());
    if (tooLarge(image.size()))
        return Result<QImage>::failure(QStringLiteral("the picture is too large"));
    return image;
}

} // namespace

namespace PngDecoder {

std::optional<QImage> decodeCommon(const QByteArray &bytes)
{
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.constData());
    const size_t size = size_t(bytes.size());
    if (size < sizeof Signature || std::memcmp(data, Signature, sizeof Signature) != 0)
        return std::nullopt;

    std::optional<Header> header;
    std::vector<std::pair<const unsigned char *, size_t>> idat;
    bool idatEnded = false;
    bool ended = false;
    for (size_t pos = sizeof Signature; !ended;) {
        if (size - pos < ChunkOverhead)
            return std::nullopt;
        const quint32 length = qFromBigEndian<quint32>(data + pos);
        if (length > MaxChunkLength || length > size - pos - ChunkOverhead)
            return std::nullopt;
        const unsigned char *type = data + pos + 4;
        const unsigned char *chunk = type + 4;
        if (libdeflate_crc32(0, type, length + 4) != qFromBigEndian<quint32>(chunk + length))
            return std::nullopt;
        pos += ChunkOverhead + length;

        if (!header) {
            if (!isType(type, "IHDR") || length != HeaderDataSize)
                return std::nullopt;
            header = readHeader(chunk);
            if (!header)
                return std::nullopt;
        } else if (isType(type, "IDAT")) {
            if (idatEnded)
                return std::nullopt;
            idat.emplace_back(chunk, length);
        } else if (isType(type, "IEND")) {
            ended = true;
        } else {
            // Image data comes in one run of chunks; ancillary chunks (text, time, physical
            // size) say nothing about the pixels. Anything critical we do not know is Qt's.
            idatEnded = !idat.empty();
            const bool critical = (type[0] & 0x20) == 0;
            if (critical || changesPixels(type))
                return std::nullopt;
        }
    }
    if (!header || idat.empty())
        return std::nullopt;

    std::vector<unsigned char> joined;
    const unsigned char *compressed = idat.front().first;
    size_t compressedSize = idat.front().second;
    if (idat.size() > 1) {
        size_t total = 0;
        for (const auto &[start, length] : idat)
            total += length;
        joined.reserve(total);
        for (const auto &[start, length] : idat)
            joined.insert(joined.end(), start, start + length);
        compressed = joined.data();
        compressedSize = joined.size();
    }

    const size_t rowsSize = size_t(header->height) * (1 + size_t(header->width) * header->channels);
    std::unique_ptr<unsigned char[]> rows(new (std::nothrow) unsigned char[rowsSize]);
    std::unique_ptr<libdeflate_decompressor, DecompressorDeleter> decompressor(
        libdeflate_alloc_decompressor());
    if (!rows || !decompressor)
        return std::nullopt;
    if (libdeflate_zlib_decompress(decompressor.get(), compressed, compressedSize, rows.get(),
                                   rowsSize, nullptr) != LIBDEFLATE_SUCCESS)
        return std::nullopt;
    joined = {};

    QImage image(int(header->width), int(header->height),
                 header->channels == 3 ? QImage::Format_RGB32 : QImage::Format_ARGB32);
    if (image.isNull())
        return std::nullopt;
    const bool restored = header->channels == 3 ? restorePixels<3>(rows.get(), *header, image)
                                                : restorePixels<4>(rows.get(), *header, image);
    if (!restored)
        return std::nullopt;
    return image;
}

bool chunksFitInFile(const QByteArray &bytes)
{
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qint64 size = bytes.size();
    if (size < qint64(sizeof Signature) || std::memcmp(data, Signature, sizeof Signature) != 0)
        return true;
    return chunksFit(size, false, [data](qint64 pos, unsigned char *head) {
        std::memcpy(head, data + pos, 8);
        return true;
    });
}

bool headerChunksFitInFile(QIODevice &device)
{
    unsigned char head[8];
    if (device.peek(reinterpret_cast<char *>(head), sizeof head) != qint64(sizeof head) ||
        std::memcmp(head, Signature, sizeof Signature) != 0)
        return true;
    const bool fits = chunksFit(device.size(), true, [&device](qint64 pos, unsigned char *out) {
        return device.seek(pos) && device.read(reinterpret_cast<char *>(out), 8) == 8;
    });
    return device.seek(0) && fits;
}

Result<QImage> decode(const QByteArray &bytes)
{
    if (auto image = decodeCommon(bytes))
        return std::move(*image);
    if (!chunksFitInFile(bytes))
        return Result<QImage>::failure(QStringLiteral("a part of the PNG file runs past its end"));
    return decodeWithQt(bytes);
}

} // namespace PngDecoder
