#include "ExportRenderer.h"

#include "editor/SystemColors.h"
#include "editor/render/Redaction.h"
#include "editor/render/ShapePaths.h"
#include "text/ContrastingTextColor.h"
#include "text/TextMetrics.h"

#include <QHash>
#include <QPainter>
#include <QThread>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

/** The running canvas bounds of the bounds pass, in image points. */
struct Bounds
{
    double minX = 0;
    double minY = 0;
    double maxX = 0;
    double maxY = 0;
    bool allFinite = true;

    void add(double left, double top, double right, double bottom)
    {
        if (!std::isfinite(left) || !std::isfinite(top) || !std::isfinite(right) ||
            !std::isfinite(bottom)) {
            allFinite = false;
            return;
        }
        minX = std::min(minX, left);
        minY = std::min(minY, top);
        maxX = std::max(maxX, right);
        maxY = std::max(maxY, bottom);
    }
    void add(QPointF p, double r) { add(p.x() - r, p.y() - r, p.x() + r, p.y() + r); }
    void add(const QRectF &rect)
    {
        const QRectF r = rect.normalized(); // a negative scale flips it
        add(r.left(), r.top(), r.right(), r.bottom());
    }
};

/** A text record's box, measured once for both passes; image points. */
struct TextBox
{
    QFont font;
    QRectF box;      // where the plate goes; the first point is its top-left corner
    QRectF textRect; // the text, inset by 8·sx
};

/** Everything the bounds pass learns that the drawing pass needs again. */
struct Prepared
{
    ExportRenderer::Canvas canvas;
    QHash<int, TextBox> texts; // by row
    QList<QRectF> extents;     // by row: what each may touch, in image points
};

QPointF imagePoint(QPointF p, double sx, double sy)
{
    return {sx * p.x(), sy * p.y()};
}

bool hasImage(const Annotation &a)
{
    return a.type == DrawingTool::DroppedImage && a.imagePayload && !a.imagePayload->isNull() &&
           !a.points.isEmpty();
}

QRectF imageRect(const Annotation &a, double sx, double sy)
{
    const QSizeF size = a.imagePayload->deviceIndependentSize();
    const double dw = sx * size.width() * a.imageScale;
    const double dh = sy * size.height() * a.imageScale;
    const QPointF centre = imagePoint(a.points.first(), sx, sy);
    return {centre.x() - dw / 2, centre.y() - dh / 2, dw, dh};
}

QString tooLargeMessage(double width, double height)
{
    if (!std::isfinite(width) || !std::isfinite(height))
        return QStringLiteral(
            "Edits not saved: an annotation lies too far outside the capture for any picture.");
    return QStringLiteral(
               "Edits not saved: the picture would be %1 x %2 pixels, too large to make.")
        .arg(width, 0, 'f', 0)
        .arg(height, 0, 'f', 0);
}

/// The text box of row `a`, or none when it is not a text with its text and a point; fails
/// when the text alone is taller than any picture may be. Measured as the text boxes on
/// screen measure, so the saved box has the size it showed.
Result<std::optional<TextBox>> measureText(const Annotation &a, const ExportRenderer::Canvas &c,
                                           const QImage &reference)
{
    if (a.type != DrawingTool::Text || !a.textPayload || a.points.isEmpty())
        return std::optional<TextBox>();
    const double size = a.fontSize * a.imageScale * c.sx;
    if (!std::isfinite(size) || size * c.density > ExportRenderer::maximumSide)
        return Result<std::optional<TextBox>>::failure(
            tooLargeMessage(size * c.density, size * c.density));
    TextBox text;
    text.font = TextMetrics::font(a.fontName, size, &reference);
    const QSizeF measured = TextMetrics::measure(text.font, *a.textPayload, &reference);
    const double inset = 8 * c.sx;
    const QPointF topLeft = imagePoint(a.points.first(), c.sx, c.sy);
    // The box as drawn: the text and its inset on every side.
    text.box = QRectF(topLeft, measured + QSizeF(2 * inset, 2 * inset));
    text.textRect = QRectF(topLeft + QPointF(inset, inset), measured);
    return std::optional<TextBox>(text);
}

Result<Prepared> prepare(QSize capturePixels, double density, QSizeF viewSize,
                         const QList<Annotation> &annotations)
{
    if (!(viewSize.width() > 0) || !(viewSize.height() > 0))
        return Result<Prepared>::failure(ExportRenderer::zeroViewSizeMessage());
    if (capturePixels.isEmpty() || !(density > 0) || !std::isfinite(density))
        return Result<Prepared>::failure(
            QStringLiteral("Edits not saved: the capture has no pixels."));

    Prepared prepared;
    ExportRenderer::Canvas &c = prepared.canvas;
    c.density = density;
    const double width = capturePixels.width() / density;
    const double height = capturePixels.height() / density;
    c.sx = width / viewSize.width();
    c.sy = height / viewSize.height();

    // Fonts are measured on an image like the one they are drawn on (96 dpi), never on the
    // screen, whose resolution is the desktop's.
    const QImage reference(1, 1, QImage::Format_RGB32);

    Bounds b{0, 0, width, height, std::isfinite(c.sx) && std::isfinite(c.sy)};
    prepared.extents.reserve(annotations.size());
    for (int row = 0; row < annotations.size() && b.allFinite; ++row) {
        const Annotation &a = annotations.at(row);
        // The record's own extent, then the canvas's.
        Bounds own{std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity(),
                   -std::numeric_limits<double>::infinity(),
                   -std::numeric_limits<double>::infinity()};
        const auto extend = [&own](const QRectF &r) {
            own.minX = std::min(own.minX, r.left());
            own.minY = std::min(own.minY, r.top());
            own.maxX = std::max(own.maxX, r.right());
            own.maxY = std::max(own.maxY, r.bottom());
        };
        auto text = measureText(a, c, reference);
        if (!text.ok())
            return Result<Prepared>::failure(text.error());
        if (text.value()) {
            b.add(text.value()->box);
            extend(text.value()->box.normalized());
            prepared.texts.insert(row, *text.value());
        } else if (hasImage(a)) {
            b.add(imageRect(a, c.sx, c.sy));
            extend(imageRect(a, c.sx, c.sy).normalized());
        } else {
            const double r = c.sx * ShapePaths::outerReach(a);
            // Twice the reach: a box's mitred corners reach further than half its width.
            const double corner = 2 * r + 1;
            for (const QPointF &q : a.points) {
                const QPointF p = imagePoint(q, c.sx, c.sy);
                b.add(p, r);
                extend(QRectF(p.x() - corner, p.y() - corner, 2 * corner, 2 * corner));
            }
            // The wings of an arrowhead reach beside and behind the tip.
            if (a.type == DrawingTool::Arrow && a.points.size() >= 2) {
                const auto [wingA, wingB] =
                    ShapePaths::arrowWings(imagePoint(a.points.first(), c.sx, c.sy),
                                           imagePoint(a.points.last(), c.sx, c.sy),
                                           c.sx * ShapePaths::arrowHeadLength(a.lineWidth));
                b.add(wingA, r);
                b.add(wingB, r);
                for (const QPointF &wing : {wingA, wingB})
                    extend(QRectF(wing.x() - corner, wing.y() - corner, 2 * corner, 2 * corner));
            }
        }
        prepared.extents.append(
            own.minX <= own.maxX ? QRectF(QPointF(own.minX, own.minY), QPointF(own.maxX, own.maxY))
                                 : QRectF());
    }

    // A margin on each crossed side, then whole pixels outward: the capture keeps a
    // whole-pixel offset, so its pixels are copied, not resampled.
    double left = 0;
    double top = 0;
    double right = capturePixels.width();
    double bottom = capturePixels.height();
    if (b.minX < 0)
        left = std::floor((b.minX - ExportRenderer::margin) * density);
    if (b.minY < 0)
        top = std::floor((b.minY - ExportRenderer::margin) * density);
    if (b.maxX > width)
        right = std::ceil((b.maxX + ExportRenderer::margin) * density);
    if (b.maxY > height)
        bottom = std::ceil((b.maxY + ExportRenderer::margin) * density);
    const double pixelWidth = right - left;
    const double pixelHeight = bottom - top;
    if (!b.allFinite || !std::isfinite(pixelWidth) || !std::isfinite(pixelHeight))
        return Result<Prepared>::failure(tooLargeMessage(
            pixelWidth, b.allFinite ? pixelHeight : std::numeric_limits<double>::quiet_NaN()));
    if (pixelWidth > ExportRenderer::maximumSide || pixelHeight > ExportRenderer::maximumSide ||
        pixelWidth * pixelHeight > double(ExportRenderer::maximumPixels))
        return Result<Prepared>::failure(tooLargeMessage(pixelWidth, pixelHeight));
    c.pixels = QRect(int(left), int(top), int(pixelWidth), int(pixelHeight));
    return prepared;
}

void drawText(QPainter &painter, const Annotation &a, const TextBox &text, double sx)
{
    painter.save();
    QColor textColor = a.color;
    if (a.textHasBackground) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(a.color);
        painter.drawRoundedRect(text.box, 8 * sx, 8 * sx);
        textColor = contrastingTextColor(a.color);
    }
    painter.setPen(textColor);
    TextMetrics::draw(painter, text.textRect.topLeft(), text.font, *a.textPayload);
    painter.restore();
}

/** Rows of the picture drawn by one worker. */
struct Stripe
{
    int top = 0;
    int height = 0;
};

/// Stripes are at least this many rows, and at most this many are drawn at once.
constexpr int minimumStripe = 256;
constexpr int maximumStripes = 8;

// Draws the annotations that reach into `part`, the rows of the picture from `top` on.
void drawAnnotations(QImage &part, int top, const Prepared &prepared,
                     const QList<Annotation> &annotations, const RedactionSource &source)
{
    const ExportRenderer::Canvas &c = prepared.canvas;
    QPainter painter(&part);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform |
                           QPainter::TextAntialiasing);
    // From here on, image points.
    const QTransform toPart(c.density, 0, 0, c.density, -c.pixels.left(), -c.pixels.top() - top);
    painter.setTransform(toPart);
    const QTransform pointMap = QTransform::fromScale(c.sx, c.sy);
    const QRectF partRect(part.rect());
    for (int row = 0; row < annotations.size(); ++row) {
        const Annotation &a = annotations.at(row);
        const QRectF extent = prepared.extents.value(row);
        if (!toPart.mapRect(extent).adjusted(-2, -2, 2, 2).intersects(partRect))
            continue;
        if (a.type == DrawingTool::Redact) {
            // Whole capture pixels, never blended with what lies under them.
            const QRect pixels = Redaction::capturePixels(a, source);
            const QImage cells =
                a.pixelate ? Redaction::mosaic(source.capture, pixels, source.hidden) : QImage();
            Redaction::cover(painter, a, pixels.translated(-c.pixels.topLeft() - QPoint(0, top)),
                             cells);
        } else if (const auto text = prepared.texts.constFind(row);
                   text != prepared.texts.constEnd()) {
            drawText(painter, a, *text, c.sx);
        } else if (hasImage(a)) {
            painter.drawImage(imageRect(a, c.sx, c.sy), *a.imagePayload,
                              QRectF(a.imagePayload->rect()));
        } else if (ShapePaths::isShape(a.type) &&
                   a.points.size() >= (ShapePaths::isPlacedByClick(a.type) ? 1 : 2)) {
            ShapePaths::drawShape(painter, a, ShapePaths::ShapeTarget::image, pointMap, c.sx);
        }
    }
}

} // namespace

namespace ExportRenderer {

QString zeroViewSizeMessage()
{
    return QStringLiteral("CRITICAL: Canvas size is zero. The view size was not captured.");
}

Result<Canvas> plan(QSize capturePixels, double density, QSizeF viewSize,
                    const QList<Annotation> &annotations)
{
    auto prepared = prepare(capturePixels, density, viewSize, annotations);
    if (!prepared.ok())
        return Result<Canvas>::failure(prepared.error());
    return prepared.value().canvas;
}

namespace {

/// The part of the picture of canvas `c` that `crop` keeps, in the picture's pixels (outward
/// to whole pixels); empty when it misses the picture.
QRect cropCut(const ExportRenderer::Canvas &c, const QRectF &crop)
{
    const double kx = c.sx * c.density;
    const double ky = c.sy * c.density;
    const QRectF r = crop.normalized();
    const QRectF pixels(QPointF(std::floor(r.left() * kx), std::floor(r.top() * ky)) -
                            QPointF(c.pixels.topLeft()),
                        QPointF(std::ceil(r.right() * kx), std::ceil(r.bottom() * ky)) -
                            QPointF(c.pixels.topLeft()));
    const QRect whole(QPoint(0, 0), c.pixels.size());
    return pixels.intersected(QRectF(whole)).toAlignedRect() & whole;
}

QString cropMissesMessage()
{
    return QStringLiteral("Edits not saved: the crop lies outside the picture.");
}

} // namespace

Result<Canvas> check(QSize capturePixels, double density, QSizeF viewSize,
                     const QList<Annotation> &annotations, std::optional<QRectF> crop)
{
    if (capturePixels.isEmpty())
        return Result<Canvas>::failure(QStringLiteral("Edits not saved: there is no capture."));
    Result<Canvas> canvas = plan(capturePixels, density, viewSize, annotations);
    if (canvas.ok() && crop && cropCut(canvas.value(), *crop).isEmpty())
        return Result<Canvas>::failure(cropMissesMessage());
    return canvas;
}

Result<QImage> render(const QImage &capture, QSizeF viewSize, const QList<Annotation> &annotations,
                      std::optional<QRectF> crop)
{
    if (capture.isNull())
        return Result<QImage>::failure(QStringLiteral("Edits not saved: there is no capture."));
    auto prepared = prepare(capture.size(), capture.devicePixelRatio(), viewSize, annotations);
    if (!prepared.ok())
        return Result<QImage>::failure(prepared.error());
    const Canvas &c = prepared.value().canvas;

    QImage picture(c.pixels.size(), QImage::Format_RGB32);
    if (picture.isNull())
        return Result<QImage>::failure(
            QStringLiteral("Edits not saved: no memory for a picture of %1 x %2 pixels.")
                .arg(c.pixels.width())
                .arg(c.pixels.height()));

    QPainter painter(&picture);
    const QRect captureRect(QPoint(-c.pixels.left(), -c.pixels.top()), capture.size());
    if (captureRect != picture.rect() || capture.hasAlphaChannel())
        painter.fillRect(picture.rect(), SystemColors::underPageBackground());
    // Pixel for pixel: a whole-pixel offset and no scaling.
    painter.drawImage(QRectF(captureRect), capture, QRectF(capture.rect()));
    painter.end();

    RedactionSource source;
    source.capture = capture;
    source.canvasSize = viewSize;
    source.hidden = Redaction::hiddenRects(annotations, source);
    // The annotations are drawn in horizontal stripes, one per core, each stripe by itself
    // in list order: a stripe holds whole rows of pixels, so no two share one, and a pixel
    // comes out as drawing the whole picture at once would make it.
    const int stripeCount = std::clamp(
        std::min(QThread::idealThreadCount(), picture.height() / minimumStripe), 1, maximumStripes);
    QList<Stripe> stripes;
    uchar *const bits = picture.bits(); // detached once, here, before the workers write
    for (int i = 0; i < stripeCount; ++i) {
        const int top = picture.height() * i / stripeCount;
        const int bottom = picture.height() * (i + 1) / stripeCount;
        stripes.append({top, bottom - top});
    }
    const auto drawStripe = [&](Stripe &stripe) {
        QImage part(bits + qsizetype(stripe.top) * picture.bytesPerLine(), picture.width(),
                    stripe.height, picture.bytesPerLine(), picture.format());
        drawAnnotations(part, stripe.top, prepared.value(), annotations, source);
    };
    if (stripes.size() == 1)
        drawStripe(stripes.first());
    else
        QtConcurrent::blockingMap(stripes, drawStripe);
    if (crop) {
        const QRect cut = cropCut(c, *crop);
        if (cut.isEmpty())
            return Result<QImage>::failure(cropMissesMessage());
        picture = picture.copy(cut);
    }
    picture.setDevicePixelRatio(c.density);
    return picture;
}

} // namespace ExportRenderer
