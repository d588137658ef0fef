#include "ZstdPixelCodec.h"

#include <QColorSpace>
#include <QDataStream>
#include <QIODevice>
#include <QMap>

#include <zstd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

namespace {

constexpr quint32 Magic = 0x4f505831; // "OPX1"
constexpr int Level = 1;
// Rows are filtered and fed to zstd in slices of about this size, so no second full-size
// buffer is ever needed.
constexpr qsizetype SliceBytes = 256 * 1024;
// Dimensions beyond this are not an image any screen produces: refuse them before allocating.
constexpr qint32 MaxSide = 1 << 20;

enum class Layout : quint8 {
    // XRGB32 whose padding bytes are all 0xff: three bytes a pixel, each row led by a byte
    // naming its filter (see RowFilter), the padding restored on the way back.
    PackedRgb = 0,
    // The row bytes of any format as they are; the filter steps one pixel (or one byte below
    // eight bits a pixel).
    RowBytes = 1,
};

// How one packed row is turned into small numbers. Bit 0: the prediction is the mean of the
// left and upper neighbours (best on photographs, whose noise it halves) instead of the left
// one alone (best on flat areas and text). Bit 1: red and blue are taken relative to green,
// which removes what the channels share (light and shade), again mostly on photographs.
// Each row gets the cheapest of the four, judged on a sample of its pixels.
enum RowFilter : uchar {
    LeftOnly = 0,
    MeanOfLeftAndUp = 1,
    GreenDelta = 2,
};
constexpr int RowFilters = 4;

struct Header
{
    Layout layout = Layout::RowBytes;
    qint32 format = QImage::Format_Invalid;
    qint32 width = 0;
    qint32 height = 0;
    double devicePixelRatio = 1;
    qint32 dotsPerMeterX = 0;
    qint32 dotsPerMeterY = 0;
    QPoint offset;
    QList<quint32> colorTable;
    QColorSpace colorSpace;
    QMap<QString, QString> text;
    quint64 filteredSize = 0;
};

QDataStream &operator<<(QDataStream &out, const Header &h)
{
    out << Magic << quint8(h.layout) << h.format << h.width << h.height << h.devicePixelRatio
        << h.dotsPerMeterX << h.dotsPerMeterY << h.offset << quint32(h.colorTable.size());
    for (const quint32 colour : h.colorTable)
        out << colour;
    // The profile alone: an image without a colour space has none to write.
    return out << (h.colorSpace.isValid() ? h.colorSpace.iccProfile() : QByteArray()) << h.text
               << h.filteredSize;
}

QDataStream &operator>>(QDataStream &in, Header &h)
{
    quint32 magic = 0;
    quint8 layout = 0;
    quint32 colours = 0;
    in >> magic >> layout >> h.format >> h.width >> h.height >> h.devicePixelRatio >>
        h.dotsPerMeterX >> h.dotsPerMeterY >> h.offset >> colours;
    // Read by hand: a damaged count must not reserve gigabytes.
    if (magic != Magic || colours > 256) {
        in.setStatus(QDataStream::ReadCorruptData);
        return in;
    }
    for (quint32 i = 0; i < colours && in.status() == QDataStream::Ok; ++i) {
        quint32 colour = 0;
        in >> colour;
        h.colorTable.append(colour);
    }
    QByteArray profile;
    in >> profile >> h.text >> h.filteredSize;
    if (!profile.isEmpty())
        h.colorSpace = QColorSpace::fromIccProfile(profile);
    h.layout = Layout(layout);
    return in;
}

/// How the rows of one image are laid out once filtered.
struct Geometry
{
    qsizetype lineBytes = 0; // filtered bytes per row
    int step = 1;            // the filter's distance in bytes
    int slicesRows = 1;

    Geometry(Layout layout, int width, int depth)
    {
        if (layout == Layout::PackedRgb) {
            lineBytes = 1 + qsizetype(width) * 3;
            step = 3;
        } else {
            lineBytes = (qsizetype(width) * depth + 7) / 8;
            step = std::max(1, depth / 8);
        }
        slicesRows = int(std::max<qsizetype>(1, SliceBytes / lineBytes));
    }
};

bool paddingIsOpaque(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        QRgb all = 0xffffffffu;
        for (int x = 0; x < image.width(); ++x)
            all &= line[x];
        if ((all >> 24) != 0xff)
            return false;
    }
    return true;
}

/// The three channel values of pixel `p` as the row filter sees them.
constexpr void channels(QRgb p, bool greenDelta, int v[3])
{
    const int r = int(qRed(p)), g = int(qGreen(p)), b = int(qBlue(p));
    if (greenDelta) {
        v[0] = (r - g + 128) & 0xff;
        v[1] = g;
        v[2] = (b - g + 128) & 0xff;
    } else {
        v[0] = r;
        v[1] = g;
        v[2] = b;
    }
}

constexpr int predict(bool mean, int left, int up)
{
    return mean ? (left + up) >> 1 : left;
}

/// The filter for one row. Rows with flat runs (screen content: areas of one colour, text)
/// keep the left-neighbour filter: its residuals repeat wherever the rows repeat, which zstd
/// turns into matches that beat any smaller residual. Other rows get the filter whose residuals
/// are smallest, judged on every eighth pixel.
uchar chooseRowFilter(const QRgb *pixels, const QRgb *above, int width)
{
    int samples = 0, flat = 0;
    for (int x = 8; x < width; x += 8) {
        ++samples;
        flat += pixels[x] == pixels[x - 1];
    }
    if (flat * 8 > samples)
        return LeftOnly;
    quint64 cost[RowFilters] = {};
    for (int x = 8; x < width; x += 8) {
        for (int f = 0; f < RowFilters; ++f) {
            const bool delta = f & GreenDelta, mean = f & MeanOfLeftAndUp;
            int v[3], left[3], up[3] = {0, 0, 0};
            channels(pixels[x], delta, v);
            channels(pixels[x - 1], delta, left);
            if (above)
                channels(above[x], delta, up);
            for (int c = 0; c < 3; ++c)
                cost[f] +=
                    quint64(std::abs(int(qint8(uchar(v[c] - predict(mean, left[c], up[c]))))));
        }
    }
    return uchar(std::min_element(cost, cost + RowFilters) - cost);
}

// One row in one filter; `above` is the previous row, null for the first. Made for each filter
// apart, so that the choices leave the pixel loops.
template <bool Delta, bool Mean>
void filterRow(const QRgb *pixels, const QRgb *above, int width, uchar *out)
{
    if constexpr (!Delta && !Mean) {
        // The common case on screens, kept as lean as it can be.
        uchar r0 = 0, g0 = 0, b0 = 0;
        for (int x = 0; x < width; ++x) {
            const QRgb p = pixels[x];
            const uchar r = uchar(p >> 16), g = uchar(p >> 8), b = uchar(p);
            out[0] = uchar(r - r0);
            out[1] = uchar(g - g0);
            out[2] = uchar(b - b0);
            out += 3;
            r0 = r;
            g0 = g;
            b0 = b;
        }
        return;
    }
    int left[3] = {0, 0, 0};
    for (int x = 0; x < width; ++x) {
        int v[3], up[3] = {0, 0, 0};
        channels(pixels[x], Delta, v);
        if (above)
            channels(above[x], Delta, up);
        for (int c = 0; c < 3; ++c) {
            out[c] = uchar(v[c] - predict(Mean, left[c], up[c]));
            left[c] = v[c];
        }
        out += 3;
    }
}

template <bool Delta, bool Mean>
void unfilterRow(const uchar *in, const QRgb *above, int width, QRgb *pixels)
{
    if constexpr (!Delta && !Mean) {
        uchar r = 0, g = 0, b = 0;
        for (int x = 0; x < width; ++x) {
            r = uchar(r + in[0]);
            g = uchar(g + in[1]);
            b = uchar(b + in[2]);
            in += 3;
            pixels[x] = 0xff000000u | (QRgb(r) << 16) | (QRgb(g) << 8) | b;
        }
        return;
    }
    int left[3] = {0, 0, 0};
    for (int x = 0; x < width; ++x) {
        int up[3] = {0, 0, 0};
        if (above)
            channels(above[x], Delta, up);
        for (int c = 0; c < 3; ++c)
            left[c] = (in[c] + predict(Mean, left[c], up[c])) & 0xff;
        in += 3;
        const int g = left[1];
        const int r = Delta ? (left[0] + g - 128) & 0xff : left[0];
        const int b = Delta ? (left[2] + g - 128) & 0xff : left[2];
        pixels[x] = 0xff000000u | (QRgb(r) << 16) | (QRgb(g) << 8) | QRgb(b);
    }
}

// By RowFilter value.
constexpr void (*FilterRow[RowFilters])(const QRgb *, const QRgb *, int, uchar *) = {
    filterRow<false, false>, filterRow<false, true>, filterRow<true, false>, filterRow<true, true>};
constexpr void (*UnfilterRow[RowFilters])(const uchar *, const QRgb *, int, QRgb *) = {
    unfilterRow<false, false>, unfilterRow<false, true>, unfilterRow<true, false>,
    unfilterRow<true, true>};

void filterPackedRgb(const uchar *source, const uchar *aboveSource, int width, uchar *out)
{
    const auto *pixels = reinterpret_cast<const QRgb *>(source);
    const auto *above = reinterpret_cast<const QRgb *>(aboveSource);
    const uchar filter = chooseRowFilter(pixels, above, width);
    *out = filter;
    FilterRow[filter](pixels, above, width, out + 1);
}

/// False when the row names no filter this codec knows.
bool unfilterPackedRgb(const uchar *in, const uchar *aboveDestination, int width,
                       uchar *destination)
{
    const uchar filter = *in;
    if (filter >= RowFilters)
        return false;
    UnfilterRow[filter](in + 1, reinterpret_cast<const QRgb *>(aboveDestination), width,
                        reinterpret_cast<QRgb *>(destination));
    return true;
}

void filterBytes(const uchar *source, qsizetype count, int step, uchar *out)
{
    const qsizetype head = std::min<qsizetype>(step, count);
    std::copy(source, source + head, out);
    for (qsizetype i = head; i < count; ++i)
        out[i] = uchar(source[i] - source[i - step]);
}

void unfilterBytes(const uchar *in, qsizetype count, int step, uchar *destination)
{
    const qsizetype head = std::min<qsizetype>(step, count);
    std::copy(in, in + head, destination);
    for (qsizetype i = head; i < count; ++i)
        destination[i] = uchar(in[i] + destination[i - step]);
}

QString zstdError(size_t code)
{
    return QStringLiteral("zstd: ") + QString::fromLatin1(ZSTD_getErrorName(code));
}

struct FreeCCtx
{
    void operator()(ZSTD_CCtx *c) const { ZSTD_freeCCtx(c); }
};
struct FreeDCtx
{
    void operator()(ZSTD_DCtx *d) const { ZSTD_freeDCtx(d); }
};

const QString OutOfMemory = QStringLiteral("out of memory");

Result<QByteArray> compressImage(const QImage &image)
{
    if (image.isNull())
        return Result<QByteArray>::failure(QStringLiteral("the image is empty"));

    Header header;
    header.layout = image.format() == QImage::Format_RGB32 && paddingIsOpaque(image)
                        ? Layout::PackedRgb
                        : Layout::RowBytes;
    header.format = image.format();
    header.width = image.width();
    header.height = image.height();
    header.devicePixelRatio = image.devicePixelRatio();
    header.dotsPerMeterX = image.dotsPerMeterX();
    header.dotsPerMeterY = image.dotsPerMeterY();
    header.offset = image.offset();
    for (const QRgb colour : image.colorTable())
        header.colorTable.append(colour);
    header.colorSpace = image.colorSpace();
    // QImage::text("") is every text joined, not the one under an empty key (Qt's JPEG reader
    // makes one from a comment that starts with ": "): that one cannot be read, so it is left
    // out rather than stored as the joined texts.
    for (const QString &key : image.textKeys()) {
        if (!key.isEmpty())
            header.text.insert(key, image.text(key));
    }
    const Geometry geometry(header.layout, image.width(), image.depth());
    header.filteredSize = quint64(geometry.lineBytes) * quint64(image.height());

    QByteArray head;
    {
        QDataStream out(&head, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_4);
        out << header;
    }

    std::unique_ptr<ZSTD_CCtx, FreeCCtx> context(ZSTD_createCCtx());
    if (!context)
        return Result<QByteArray>::failure(OutOfMemory);
    ZSTD_CCtx *c = context.get();
    size_t status = ZSTD_CCtx_setParameter(c, ZSTD_c_compressionLevel, Level);
    if (!ZSTD_isError(status))
        status = ZSTD_CCtx_setParameter(c, ZSTD_c_checksumFlag, 1);
    if (!ZSTD_isError(status))
        status = ZSTD_CCtx_setPledgedSrcSize(c, header.filteredSize);
    if (ZSTD_isError(status))
        return Result<QByteArray>::failure(zstdError(status));

    // Room for the worst case; the pages zstd never writes are never touched, and the
    // buffer is cut to size at the end.
    const size_t bound = ZSTD_compressBound(header.filteredSize);
    QByteArray packed(head.size() + qsizetype(bound), Qt::Uninitialized);
    std::copy(head.cbegin(), head.cend(), packed.begin());
    ZSTD_outBuffer output{packed.data() + head.size(), bound, 0};

    std::vector<uchar> slice(size_t(geometry.lineBytes) * size_t(geometry.slicesRows));
    for (int row = 0; row < image.height();) {
        const int rows = std::min(geometry.slicesRows, image.height() - row);
        for (int i = 0; i < rows; ++i) {
            uchar *out = slice.data() + qsizetype(i) * geometry.lineBytes;
            const int y = row + i;
            if (header.layout == Layout::PackedRgb)
                filterPackedRgb(image.constScanLine(y),
                                y > 0 ? image.constScanLine(y - 1) : nullptr, image.width(), out);
            else
                filterBytes(image.constScanLine(y), geometry.lineBytes, geometry.step, out);
        }
        row += rows;
        const bool last = row == image.height();
        ZSTD_inBuffer input{slice.data(), size_t(rows) * size_t(geometry.lineBytes), 0};
        for (;;) {
            const size_t left =
                ZSTD_compressStream2(c, &output, &input, last ? ZSTD_e_end : ZSTD_e_continue);
            if (ZSTD_isError(left))
                return Result<QByteArray>::failure(zstdError(left));
            if (last ? left == 0 : input.pos == input.size)
                break;
            if (output.pos == output.size)
                return Result<QByteArray>::failure(QStringLiteral("zstd: output buffer full"));
        }
    }
    packed.resize(head.size() + qsizetype(output.pos));
    packed.squeeze();
    return packed;
}

Result<QImage> decompressImage(const QByteArray &packed)
{
    const auto corrupt = [](const QString &why) {
        return Result<QImage>::failure(QStringLiteral("corrupt data: ") + why);
    };

    Header header;
    QDataStream in(packed);
    in.setVersion(QDataStream::Qt_6_4);
    in >> header;
    if (in.status() != QDataStream::Ok)
        return corrupt(QStringLiteral("unreadable header"));
    if (header.format <= QImage::Format_Invalid || header.format >= QImage::NImageFormats)
        return corrupt(QStringLiteral("unknown format %1").arg(header.format));
    if (header.width <= 0 || header.height <= 0 || header.width > MaxSide ||
        header.height > MaxSide)
        return corrupt(QStringLiteral("size %1x%2").arg(header.width).arg(header.height));
    if (header.layout != Layout::PackedRgb && header.layout != Layout::RowBytes)
        return corrupt(QStringLiteral("unknown layout %1").arg(int(header.layout)));
    const auto format = QImage::Format(header.format);
    if (header.layout == Layout::PackedRgb && format != QImage::Format_RGB32)
        return corrupt(QStringLiteral("packed pixels in format %1").arg(header.format));
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    const Geometry geometry(header.layout, header.width, depth);
    const quint64 expected = quint64(geometry.lineBytes) * quint64(header.height);
    const qsizetype headSize = qsizetype(in.device()->pos());
    const char *frame = packed.constData() + headSize;
    const size_t frameSize = size_t(packed.size() - headSize);
    if (header.filteredSize != expected || ZSTD_getFrameContentSize(frame, frameSize) != expected)
        return corrupt(QStringLiteral("the pixel data does not fit the size"));

    QImage image(header.width, header.height, format);
    if (image.isNull())
        return Result<QImage>::failure(
            QStringLiteral("out of memory for a %1x%2 image").arg(header.width).arg(header.height));

    std::unique_ptr<ZSTD_DCtx, FreeDCtx> context(ZSTD_createDCtx());
    if (!context)
        return Result<QImage>::failure(OutOfMemory);
    ZSTD_DCtx *d = context.get();
    ZSTD_inBuffer input{frame, frameSize, 0};
    std::vector<uchar> slice(size_t(geometry.lineBytes) * size_t(geometry.slicesRows));
    size_t hint = 1;
    for (int row = 0; row < header.height;) {
        const int rows = std::min(geometry.slicesRows, header.height - row);
        ZSTD_outBuffer output{slice.data(), size_t(rows) * size_t(geometry.lineBytes), 0};
        while (output.pos < output.size) {
            const size_t inBefore = input.pos, outBefore = output.pos;
            hint = ZSTD_decompressStream(d, &output, &input);
            if (ZSTD_isError(hint))
                return corrupt(zstdError(hint));
            if (input.pos == inBefore && output.pos == outBefore)
                return corrupt(QStringLiteral("the data ends early"));
        }
        for (int i = 0; i < rows; ++i) {
            const uchar *filtered = slice.data() + qsizetype(i) * geometry.lineBytes;
            const int y = row + i;
            if (header.layout != Layout::PackedRgb)
                unfilterBytes(filtered, geometry.lineBytes, geometry.step, image.scanLine(y));
            else if (!unfilterPackedRgb(filtered, y > 0 ? image.constScanLine(y - 1) : nullptr,
                                        header.width, image.scanLine(y)))
                return corrupt(QStringLiteral("row %1 names an unknown filter").arg(y));
        }
        row += rows;
    }
    // The frame's checksum follows the last pixels; reading it is what verifies them.
    while (hint != 0) {
        uchar extra = 0;
        ZSTD_outBuffer output{&extra, 1, 0};
        const size_t inBefore = input.pos;
        hint = ZSTD_decompressStream(d, &output, &input);
        if (ZSTD_isError(hint))
            return corrupt(zstdError(hint));
        if (output.pos != 0)
            return corrupt(QStringLiteral("more pixels than the size holds"));
        if (hint != 0 && input.pos == inBefore)
            return corrupt(QStringLiteral("the data ends early"));
    }
    if (input.pos != input.size)
        return corrupt(QStringLiteral("bytes after the pixel data"));

    image.setDevicePixelRatio(header.devicePixelRatio);
    image.setDotsPerMeterX(header.dotsPerMeterX);
    image.setDotsPerMeterY(header.dotsPerMeterY);
    image.setOffset(header.offset);
    if (!header.colorTable.isEmpty())
        image.setColorTable(QList<QRgb>(header.colorTable.cbegin(), header.colorTable.cend()));
    if (header.colorSpace.isValid())
        image.setColorSpace(header.colorSpace);
    for (auto it = header.text.cbegin(); it != header.text.cend(); ++it)
        image.setText(it.key(), it.value());
    return image;
}

} // namespace

Result<QByteArray> ZstdPixelCodec::compress(const QImage &image) const
{
    try {
        return compressImage(image);
    } catch (const std::bad_alloc &) {
        return Result<QByteArray>::failure(OutOfMemory);
    }
}

Result<QImage> ZstdPixelCodec::decompress(const QByteArray &packed) const
{
    try {
        return decompressImage(packed);
    } catch (const std::bad_alloc &) {
        return Result<QImage>::failure(OutOfMemory);
    }
}
