// "Save Edits" with any annotations: every kind, extreme points, widths, scales, fonts and
// view sizes, over a small capture. ExportRenderer either refuses in one line or makes a
// picture of the planned size, never larger than its guard.

#include "FuzzSupport.h"
#include "editor/render/ExportRenderer.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <limits>

namespace {

// Canvases up to this many pixels are painted; larger ones, which the guard allows up to
// ExportRenderer::maximumPixels, are only planned, to keep each input quick.
constexpr qint64 paintedPixels = 4 * 1024 * 1024;

constexpr double infinity = std::numeric_limits<double>::infinity();

double number(FuzzedDataProvider &input, double low, double high)
{
    if (input.ConsumeBool())
        return input.ConsumeFloatingPointInRange(low, high);
    return input.PickValueInArray<double>({0.0,
                                           -0.0,
                                           1.0,
                                           -1.0,
                                           0.5,
                                           1e-9,
                                           -1e-9,
                                           1e9,
                                           -1e9,
                                           1e300,
                                           -1e300,
                                           infinity,
                                           -infinity,
                                           std::numeric_limits<double>::quiet_NaN(),
                                           std::numeric_limits<double>::denorm_min(),
                                           std::numeric_limits<double>::max(),
                                           32767,
                                           40000,
                                           8192.5,
                                           -8192.5});
}

QString textOf(FuzzedDataProvider &input)
{
    QString text;
    const int length = input.ConsumeIntegralInRange(0, 48);
    for (int i = 0; i < length; ++i) {
        const auto unit = input.ConsumeIntegral<char16_t>();
        text.append(input.ConsumeBool() ? QChar(u'a' + unit % 26) : QChar(unit));
    }
    if (input.ConsumeBool())
        text.append(QStringLiteral("\n\n"));
    return text;
}

QImage pictureOf(FuzzedDataProvider &input)
{
    QImage picture(input.ConsumeIntegralInRange(0, 8), input.ConsumeIntegralInRange(0, 8),
                   input.ConsumeBool() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    picture.fill(input.ConsumeIntegral<QRgb>());
    picture.setDevicePixelRatio(number(input, 0.1, 8));
    return picture;
}

Annotation annotationOf(FuzzedDataProvider &input)
{
    Annotation a;
    a.type = input.PickValueInArray(allDrawingTools);
    const int points = input.ConsumeIntegralInRange(0, 6);
    for (int i = 0; i < points; ++i)
        a.points.append({number(input, -2000, 2000), number(input, -2000, 2000)});
    a.color = QColor::fromRgba(input.ConsumeIntegral<QRgb>());
    a.lineWidth = number(input, 0, 200);
    a.imageScale = number(input, 0, 20);
    a.fontSize = number(input, 0, 400);
    a.textHasBackground = input.ConsumeBool();
    a.fontName = input.PickValueInArray<QString>(
        {QStringLiteral("Helvetica"), QStringLiteral("DejaVu Sans"), QString(),
         QStringLiteral("Noto Color Emoji"), QStringLiteral("monospace"),
         QStringLiteral("No Such Family \u00e9\u4e2d")});
    if (input.ConsumeBool())
        a.textPayload = textOf(input);
    if (input.ConsumeBool())
        a.imagePayload = pictureOf(input);
    return a;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    startOffscreenApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    QImage capture(input.ConsumeIntegralInRange(1, 64), input.ConsumeIntegralInRange(1, 48),
                   input.ConsumeBool() ? QImage::Format_RGB32 : QImage::Format_ARGB32);
    capture.fill(QColor(40, 90, 160));
    capture.setDevicePixelRatio(input.PickValueInArray({1.0, 1.25, 1.5, 2.0, 3.0, 0.75}));
    const QSizeF viewSize(number(input, -10, 2000), number(input, -10, 2000));
    QList<Annotation> annotations;
    const int count = input.ConsumeIntegralInRange(0, 8);
    for (int i = 0; i < count; ++i)
        annotations.append(annotationOf(input));

    const Result<ExportRenderer::Canvas> plan =
        ExportRenderer::plan(capture.size(), capture.devicePixelRatio(), viewSize, annotations);
    if (!plan.ok()) {
        FUZZ_CHECK(!plan.error().isEmpty() && !plan.error().contains(u'\n'),
                   "a refusal is one line");
        const Result<QImage> picture = ExportRenderer::render(capture, viewSize, annotations);
        FUZZ_CHECK(!picture.ok() && picture.error() == plan.error(), "render refuses as plan does");
        return 0;
    }
    const QRect pixels = plan.value().pixels;
    FUZZ_CHECK(pixels.width() > 0 && pixels.height() > 0, "a planned canvas has pixels");
    FUZZ_CHECK(pixels.width() <= ExportRenderer::maximumSide &&
                   pixels.height() <= ExportRenderer::maximumSide &&
                   qint64(pixels.width()) * pixels.height() <= ExportRenderer::maximumPixels,
               "a planned canvas is within the guard");
    FUZZ_CHECK(pixels.contains(QRect(QPoint(0, 0), capture.size())),
               "the canvas holds the whole capture");
    if (qint64(pixels.width()) * pixels.height() > paintedPixels)
        return 0;

    const Result<QImage> picture = ExportRenderer::render(capture, viewSize, annotations);
    FUZZ_CHECK(picture.ok(), "a planned canvas is painted");
    FUZZ_CHECK(picture.value().size() == pixels.size(), "the picture has the planned size");
    FUZZ_CHECK(picture.value().devicePixelRatio() == capture.devicePixelRatio(),
               "the picture has the capture's pixel ratio");
    return 0;
}
