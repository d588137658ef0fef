// The drag-out PNG encoder: a picture of any size and format made from the input must come
// back from Qt's own PNG reader with the same pixels.

#include "FuzzSupport.h"
#include "capture/PngEncoder.h"

#include <fuzzer/FuzzedDataProvider.h>

namespace {

// What the encoder is given (captures, edited pictures) and what it converts from.
constexpr QImage::Format formats[] = {
    QImage::Format_RGB32,    QImage::Format_ARGB32, QImage::Format_ARGB32_Premultiplied,
    QImage::Format_RGBA8888, QImage::Format_RGB888, QImage::Format_Grayscale8,
    QImage::Format_Indexed8, QImage::Format_RGBA64, QImage::Format_RGBA8888_Premultiplied,
    QImage::Format_RGB16,    QImage::Format_Alpha8, QImage::Format_Mono,
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    // Now and then one very wide or very tall row of pixels.
    const bool strip = input.ConsumeIntegralInRange(0, 15) == 0;
    const int width = input.ConsumeIntegralInRange(1, strip ? 40000 : 96);
    const int height = strip ? 1 : input.ConsumeIntegralInRange(1, 96);
    const QImage::Format format = input.PickValueInArray(formats);
    const bool opaque = input.ConsumeBool();

    // The pixels are made straight (not premultiplied) and converted by Qt, so every picture
    // is a valid one of its format.
    QImage straight(width, height, QImage::Format_ARGB32);
    const std::vector<uint8_t> bytes = input.ConsumeRemainingBytes<uint8_t>();
    size_t next = 0;
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(straight.scanLine(y));
        for (int x = 0; x < width; ++x) {
            QRgb pixel = 0xff000000u | QRgb(x * 31 + y * 17);
            if (!bytes.empty()) {
                pixel = 0;
                for (int c = 0; c < 4; ++c)
                    pixel = (pixel << 8) | bytes[next++ % bytes.size()];
            }
            line[x] = opaque ? pixel | 0xff000000u : pixel;
        }
    }
    const QImage image = straight.convertToFormat(format);

    const Result<QByteArray> png = PngEncoder::encode(image);
    FUZZ_CHECK(png.ok(), "a picture encodes");
    const QImage decoded = QImage::fromData(png.value(), "PNG");
    FUZZ_CHECK(!decoded.isNull(), "the PNG reads back");
    FUZZ_CHECK(decoded.size() == image.size(), "same size");
    const QImage expected = image.convertToFormat(QImage::Format_ARGB32);
    const QImage actual = decoded.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        const auto *want = reinterpret_cast<const QRgb *>(expected.constScanLine(y));
        const auto *got = reinterpret_cast<const QRgb *>(actual.constScanLine(y));
        for (int x = 0; x < width; ++x)
            FUZZ_CHECK(want[x] == got[x], "same pixels");
    }
    return 0;
}
