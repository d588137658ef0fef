// The capture store's codec. The first byte picks the mode: a picture made from the input
// (size, format, pixels and metadata) must come back from compress and decompress bit for
// bit; any bytes handed to decompress fail cleanly or give an image; and a compressed picture
// with some of its bytes changed does the same.

#include "FuzzSupport.h"
#include "capture/ZstdPixelCodec.h"

#include <QColorSpace>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>

namespace {

// Screen captures are RGB32; edited and pasted pictures reach the store in whatever format
// they were made in.
constexpr QImage::Format formats[] = {
    QImage::Format_RGB32,
    QImage::Format_ARGB32,
    QImage::Format_ARGB32_Premultiplied,
    QImage::Format_RGBA8888,
    QImage::Format_RGB888,
    QImage::Format_Grayscale8,
    QImage::Format_Indexed8,
    QImage::Format_Mono,
    QImage::Format_MonoLSB,
    QImage::Format_RGB16,
    QImage::Format_RGBA64,
    QImage::Format_Grayscale16,
    QImage::Format_Alpha8,
    QImage::Format_A2RGB30_Premultiplied,
};

qsizetype rowBytes(const QImage &image)
{
    return (qsizetype(image.width()) * image.depth() + 7) / 8;
}

QImage pictureFrom(FuzzedDataProvider &input)
{
    // Now and then a picture tall enough to span several of the codec's slices.
    const bool tall = input.ConsumeIntegralInRange(0, 7) == 0;
    const int width = input.ConsumeIntegralInRange(1, tall ? 300 : 96);
    const int height = input.ConsumeIntegralInRange(1, tall ? 1200 : 48);
    const QImage::Format format = input.PickValueInArray(formats);
    // Real captures have every padding byte at 0xff, which the codec packs apart.
    const bool opaquePadding = input.ConsumeBool();
    QImage image(width, height, format);
    const std::vector<uint8_t> pixels = input.ConsumeBytes<uint8_t>(size_t(width) * height * 8);
    size_t next = 0;
    for (int y = 0; y < height; ++y) {
        uchar *line = image.scanLine(y);
        for (qsizetype i = 0; i < rowBytes(image); ++i)
            line[i] = pixels.empty() ? uchar(i * 7 + y) : pixels[next++ % pixels.size()];
        if (format == QImage::Format_RGB32 && opaquePadding) {
            for (int x = 0; x < width; ++x)
                line[4 * x + 3] = 0xff;
        }
    }
    if (format == QImage::Format_Indexed8 || format == QImage::Format_Mono ||
        format == QImage::Format_MonoLSB) {
        QList<QRgb> table(input.ConsumeIntegralInRange(1, 256));
        for (QRgb &colour : table)
            colour = input.ConsumeIntegral<QRgb>();
        image.setColorTable(table);
    }
    image.setDevicePixelRatio(input.PickValueInArray({1.0, 1.25, 2.0, 3.0, 0.5}));
    image.setDotsPerMeterX(input.ConsumeIntegral<int>());
    image.setDotsPerMeterY(input.ConsumeIntegral<int>());
    image.setOffset({input.ConsumeIntegral<int>(), input.ConsumeIntegral<int>()});
    if (input.ConsumeBool())
        image.setColorSpace(QColorSpace(input.PickValueInArray(
            {QColorSpace::SRgb, QColorSpace::DisplayP3, QColorSpace::AdobeRgb})));
    if (input.ConsumeBool())
        image.setText(QString::fromStdString(input.ConsumeRandomLengthString(16)),
                      QString::fromStdString(input.ConsumeRandomLengthString(64)));
    return image;
}

void roundTrip(FuzzedDataProvider &input)
{
    const QImage image = pictureFrom(input);
    const ZstdPixelCodec codec;
    const Result<QByteArray> packed = codec.compress(image);
    FUZZ_CHECK(packed.ok(), "a picture compresses");
    const Result<QImage> back = codec.decompress(packed.value());
    FUZZ_CHECK(back.ok(), "what was compressed decompresses");
    const QImage &copy = back.value();
    FUZZ_CHECK(copy.size() == image.size() && copy.format() == image.format(),
               "same size and format");
    for (int y = 0; y < image.height(); ++y)
        FUZZ_CHECK(std::memcmp(copy.constScanLine(y), image.constScanLine(y),
                               size_t(rowBytes(image))) == 0,
                   "same pixels, bit for bit");
    FUZZ_CHECK(copy.colorTable() == image.colorTable(), "same colour table");
    FUZZ_CHECK(copy.devicePixelRatio() == image.devicePixelRatio(), "same pixel ratio");
    FUZZ_CHECK(copy.dotsPerMeterX() == image.dotsPerMeterX() &&
                   copy.dotsPerMeterY() == image.dotsPerMeterY() && copy.offset() == image.offset(),
               "same resolution and offset");
    FUZZ_CHECK(copy.colorSpace() == image.colorSpace(), "same colour space");
    // A text under an empty key cannot be read from a QImage, so it is not kept.
    QStringList keys = image.textKeys();
    keys.removeAll(QString());
    FUZZ_CHECK(copy.textKeys() == keys, "same text keys");
    for (const QString &key : keys)
        FUZZ_CHECK(copy.text(key) == image.text(key), "same texts");
}

void decodeAnything(const QByteArray &packed)
{
    const Result<QImage> image = ZstdPixelCodec().decompress(packed);
    if (!image.ok()) {
        FUZZ_CHECK(!image.error().isEmpty() && !image.error().contains(u'\n'),
                   "a failure says why in one line");
        return;
    }
    FUZZ_CHECK(!image.value().isNull(), "a decompressed image has pixels");
}

void decodeDamaged(FuzzedDataProvider &input)
{
    const int changes = input.ConsumeIntegralInRange(1, 8);
    std::vector<std::pair<size_t, uint8_t>> damage;
    for (int i = 0; i < changes; ++i)
        damage.emplace_back(input.ConsumeIntegral<uint16_t>(), input.ConsumeIntegral<uint8_t>());
    const bool cut = input.ConsumeBool();
    const Result<QByteArray> packed = ZstdPixelCodec().compress(pictureFrom(input));
    FUZZ_CHECK(packed.ok(), "a picture compresses");
    QByteArray bytes = packed.value();
    for (const auto &[at, value] : damage)
        bytes[qsizetype(at % size_t(bytes.size()))] = char(value);
    if (cut)
        bytes.truncate(qsizetype(damage.front().first % size_t(bytes.size())));
    decodeAnything(bytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    FuzzedDataProvider input(data + 1, size - 1);
    switch (data[0] % 3) {
    case 0:
        roundTrip(input);
        break;
    case 1:
        decodeAnything(QByteArray(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1)));
        break;
    default:
        decodeDamaged(input);
    }
    return 0;
}
