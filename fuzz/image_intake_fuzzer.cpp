// Bytes offered as a picture (a pasted or dropped image, a file's contents) through
// ImageIntake: decoded within the caps, or refused; never a crash.

#include "FuzzSupport.h"
#include "editor/ImageIntake.h"

#include <QByteArray>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Some image plugins want an application; the decoding itself never paints.
    startOffscreenApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const bool readable = ImageIntake::looksReadable({{}, bytes, QStringLiteral("image/png")});
    const std::optional<QImage> image = ImageIntake::decode(bytes);
    if (!image)
        return 0;

    FUZZ_CHECK(!image->isNull(), "an accepted image has pixels");
    FUZZ_CHECK(qint64(image->width()) * image->height() <= ImageIntake::maximumPixels,
               "an accepted image is within the pixel cap");
    FUZZ_CHECK(image->devicePixelRatio() == 1, "an accepted image has one pixel per point");
    // decode() judges the same header first, so what it takes must have looked readable.
    FUZZ_CHECK(readable, "a decoded image looked readable");

    const QImage display = ImageIntake::displayCopy(*image);
    FUZZ_CHECK(!display.isNull(), "the display copy has pixels");
    FUZZ_CHECK(std::max(display.width(), display.height()) <= ImageIntake::maximumDisplaySide,
               "the display copy is within the display side");
    return 0;
}
