// The file a Wayland desktop's screenshot portal wrote, read by PngDecoder: what its own
// fast path decodes must be what Qt's reader makes of the same bytes; anything else is read
// by Qt or refused. Never a crash, never more pixels than the cap.
//
// Checksums would stop nearly every mutation at the door, so a first byte of 0 means "the
// rest, with every chunk's CRC made right", 1 "a well-formed file built around the rest"
// (size, colour type, how the data is split, then the filtered rows: this takes the fuzzer to
// the row filters); anything else (a PNG's own first byte) is the file as it is.

#include "FuzzSupport.h"
#include "platform/PngDecoder.h"

#include <libdeflate.h>

#include <QByteArray>
#include <QtEndian>

namespace {

void appendChunk(QByteArray &file, const char *type, const QByteArray &data)
{
    char length[4];
    qToBigEndian<quint32>(quint32(data.size()), length);
    file.append(length, 4);
    const qsizetype typeStart = file.size();
    file.append(type, 4).append(data);
    char crc[4];
    qToBigEndian<quint32>(
        libdeflate_crc32(0, file.constData() + typeStart, size_t(data.size()) + 4), crc);
    file.append(crc, 4);
}

/// Recomputes the CRC of every whole chunk; a cut-off chunk at the end stays as it is.
QByteArray withChunkChecksums(QByteArray file)
{
    for (qsizetype pos = 8; pos + 12 <= file.size();) {
        const quint32 length = qFromBigEndian<quint32>(file.constData() + pos);
        if (length > quint32(file.size() - pos - 12))
            break;
        const quint32 crc = libdeflate_crc32(0, file.constData() + pos + 4, size_t(length) + 4);
        qToBigEndian<quint32>(crc, file.data() + pos + 8 + length);
        pos += 12 + qsizetype(length);
    }
    return file;
}

QByteArray builtAround(const uint8_t *data, size_t size)
{
    if (size < 4)
        return {};
    const quint32 width = 1 + data[0] % 64;
    const quint32 height = 1 + data[1] % 64;
    const char colourType = data[2] & 1 ? 6 : 2;
    const qsizetype idatSize = 1 + data[3];
    const QByteArray rows(reinterpret_cast<const char *>(data + 4), qsizetype(size - 4));

    libdeflate_compressor *compressor = libdeflate_alloc_compressor(1);
    QByteArray compressed(
        qsizetype(libdeflate_zlib_compress_bound(compressor, size_t(rows.size()))), '\0');
    compressed.resize(
        qsizetype(libdeflate_zlib_compress(compressor, rows.constData(), size_t(rows.size()),
                                           compressed.data(), size_t(compressed.size()))));
    libdeflate_free_compressor(compressor);

    QByteArray file("\x89PNG\r\n\x1a\n", 8);
    QByteArray header(13, '\0');
    qToBigEndian<quint32>(width, header.data());
    qToBigEndian<quint32>(height, header.data() + 4);
    header[8] = 8;
    header[9] = colourType;
    appendChunk(file, "IHDR", header);
    for (qsizetype i = 0; i < compressed.size(); i += idatSize)
        appendChunk(file, "IDAT", compressed.mid(i, idatSize));
    appendChunk(file, "IEND", {});
    return file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    QByteArray bytes;
    if (data[0] == 0)
        bytes = withChunkChecksums(
            QByteArray(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1)));
    else if (data[0] == 1)
        bytes = builtAround(data + 1, size - 1);
    else
        bytes = QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));

    if (const std::optional<QImage> fast = PngDecoder::decodeCommon(bytes)) {
        FUZZ_CHECK(fast->format() == QImage::Format_RGB32 ||
                       fast->format() == QImage::Format_ARGB32,
                   "the fast path gives RGB32 or ARGB32");
        FUZZ_CHECK(qint64(fast->width()) * fast->height() <= PngDecoder::MaximumPixels,
                   "the fast path stays within the pixel cap");
        // libpng refuses some files the fast path takes (widths over its own limit); where
        // both read a file, they agree on every pixel.
        const QImage qt = QImage::fromData(bytes, "PNG");
        if (!qt.isNull())
            FUZZ_CHECK(qt.convertToFormat(fast->format()) == *fast,
                       "the fast path and Qt's reader agree");
    }

    const Result<QImage> decoded = PngDecoder::decode(bytes);
    if (decoded.ok()) {
        FUZZ_CHECK(!decoded.value().isNull(), "a decoded file has pixels");
        FUZZ_CHECK(qint64(decoded.value().width()) * decoded.value().height() <=
                       PngDecoder::MaximumPixels,
                   "a decoded file stays within the pixel cap");
    } else {
        FUZZ_CHECK(!decoded.error().isEmpty(), "a refusal says why");
    }
    return 0;
}
