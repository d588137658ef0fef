// Capture store figures at 3840x2160 on two generated content sets (busy, photo-like with
// noise and text; a clean desktop with windows and text): compressed bytes per capture and
// ratio, compress and decode times, plain zstd on the raw pixels for comparison, the resident
// memory after 100 captures of each set through the real manager (each set in a fresh child
// process), the same for 100 busy captures each saved with 50 annotations (an inserted picture
// among them) against 100 unedited ones, and the time to open the editor on a compressed
// capture.

#include "capture/CaptureStore.h"
#include "capture/ScreenshotManager.h"
#include "capture/ZstdPixelCodec.h"
#include "editor/EditorSession.h"
#include "editor/document/SavedEdits.h"
#include "platform/Preferences.h"
#include "platform/ScreenCapture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QQmlEngine>
#include <QQuickView>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <zstd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

const QSize CaptureSize(3840, 2160);
constexpr int StackSize = 100;

double median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void print(const QString &what, double value, const char *unit)
{
    std::printf("%-64s %10.2f %s\n", qPrintable(what), value, unit);
    std::fflush(stdout);
}

void drawText(QPainter &painter, QRect area, int pixelSize, quint32 variant)
{
    QFont font = painter.font();
    font.setPixelSize(pixelSize);
    painter.setFont(font);
    QRandomGenerator random(variant);
    static const QStringList words = {
        QStringLiteral("capture"),    QStringLiteral("window"), QStringLiteral("the"),
        QStringLiteral("settings"),   QStringLiteral("of"),     QStringLiteral("report"),
        QStringLiteral("2026-12-07"), QStringLiteral("file"),   QStringLiteral("open"),
        QStringLiteral("and"),        QStringLiteral("build"),  QStringLiteral("42.7%")};
    for (int y = area.top() + pixelSize; y < area.bottom(); y += pixelSize * 3 / 2) {
        QString line;
        while (line.size() < area.width() / (pixelSize / 2 + 1))
            line += words.at(random.bounded(words.size())) + QLatin1Char(' ');
        painter.drawText(QPoint(area.left(), y), line);
    }
}

/// A photograph-like picture: smooth colour fields with texture, grain and captions. A photo
/// on screen has been demosaiced, compressed and scaled on its way there, which leaves its
/// grain mostly in the brightness: every channel gets the same grain, and each a little of
/// its own. With `independentGrain` each channel gets all of its grain alone, as raw sensor
/// noise would have it: a harsher case, printed for comparison.
QImage busyContent(bool independentGrain = false)
{
    QImage image(CaptureSize, QImage::Format_RGB32);
    QRandomGenerator random(20261207);
    // Roughly Gaussian, standard deviation about 4.
    const auto grain = [&random] { return int(random.bounded(9)) + int(random.bounded(9)) - 8; };
    for (int y = 0; y < CaptureSize.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < CaptureSize.width(); ++x) {
            const double u = x / 300.0, v = y / 220.0;
            const double texture = 18 * std::sin(x / 7.0 + 3 * std::sin(y / 23.0));
            const int shared = independentGrain ? 0 : grain();
            int channel[3];
            for (int c = 0; c < 3; ++c) {
                const int own = independentGrain ? grain() : int(random.bounded(3)) - 1;
                const double field = 110 * std::sin(u * (0.7 + 0.2 * c) + v * (1.1 - 0.3 * c) + c);
                channel[c] = std::clamp(int(128 + field + texture) + shared + own, 0, 255);
            }
            line[x] = qRgb(channel[0], channel[1], channel[2]);
        }
    }
    QPainter painter(&image);
    painter.setPen(Qt::white);
    drawText(painter, QRect(60, 1700, 3000, 400), 28, 1);
    painter.setPen(Qt::black);
    drawText(painter, QRect(2000, 80, 1700, 500), 22, 2);
    return image;
}

/// A tidy desktop: wallpaper gradient, overlapping windows with title bars, text and
/// buttons, a panel along the bottom.
QImage cleanContent()
{
    QImage image(CaptureSize, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient wallpaper(0, 0, CaptureSize.width(), CaptureSize.height());
    wallpaper.setColorAt(0, QColor(0x2d, 0x4a, 0x6e));
    wallpaper.setColorAt(1, QColor(0x7a, 0x3e, 0x65));
    painter.fillRect(image.rect(), wallpaper);
    painter.setRenderHint(QPainter::Antialiasing);
    QRandomGenerator random(7);
    for (int i = 0; i < 7; ++i) {
        const QRect frame(100 + i * 430, 120 + (i % 3) * 380, 1500, 1100);
        painter.setPen(QColor(0x99, 0x99, 0x99));
        painter.setBrush(QColor(0xf6, 0xf5, 0xf4));
        painter.drawRoundedRect(frame, 8, 8);
        painter.fillRect(QRect(frame.left() + 1, frame.top() + 1, frame.width() - 2, 44),
                         QColor(0xde, 0xdd, 0xda));
        painter.setPen(Qt::black);
        drawText(painter, QRect(frame.left() + 20, frame.top() + 6, 600, 40), 20, 100 + i);
        drawText(painter, frame.adjusted(30, 70, -330, -120), 18, 200 + i);
        for (int b = 0; b < 3; ++b) {
            const QRect button(frame.right() - 300, frame.top() + 100 + b * 70, 250, 48);
            painter.setBrush(QColor(0x35, 0x84, 0xe4));
            painter.setPen(Qt::NoPen);
            painter.drawRoundedRect(button, 6, 6);
            painter.setPen(Qt::white);
            painter.drawText(button, Qt::AlignCenter, QStringLiteral("Button %1").arg(b));
        }
    }
    painter.fillRect(QRect(0, CaptureSize.height() - 60, CaptureSize.width(), 60),
                     QColor(0x24, 0x24, 0x24));
    painter.setPen(Qt::white);
    drawText(painter, QRect(20, CaptureSize.height() - 55, 3800, 50), 20, 300);
    return image;
}

QImage content(const QString &set)
{
    if (set == QLatin1String("busy"))
        return busyContent();
    if (set == QLatin1String("busy, independent grain"))
        return busyContent(true);
    return cleanContent();
}

/// Hands out a fresh copy of one picture with the capture's number on it: every capture
/// owns its pixels, as a real one does.
class GeneratedCapture final : public ScreenCapture
{
public:
    explicit GeneratedCapture(QImage image) : m_image(std::move(image)) {}
    bool requestAccess() override { return true; }
    Result<QList<CaptureDisplay>> displays() override
    {
        return QList<CaptureDisplay>{{QStringLiteral("bench"), QRect(QPoint(), m_image.size())}};
    }
    Result<QImage> capture(const CaptureDisplay &, QSize) override
    {
        QImage image = m_image.copy();
        QPainter painter(&image);
        painter.fillRect(QRect(10, 10, 200, 40), Qt::white);
        painter.setPen(Qt::black);
        painter.drawText(QPoint(20, 40), QStringLiteral("#%1").arg(++m_count));
        return image;
    }

private:
    QImage m_image;
    int m_count = 0;
};

qint64 residentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong() * 1024;
    }
    return -1;
}

void codecFigures(const QString &set)
{
    const QImage image = content(set);
    ZstdPixelCodec codec;
    std::vector<double> compressTimes, decodeTimes;
    QByteArray packed;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer timer;
        timer.start();
        packed = codec.compress(image).value();
        compressTimes.push_back(timer.nsecsElapsed() / 1e6);
        timer.restart();
        const Result<QImage> back = codec.decompress(packed);
        decodeTimes.push_back(timer.nsecsElapsed() / 1e6);
        if (!back.ok() || back.value() != image) {
            std::printf("%s: the round trip is not exact\n", qPrintable(set));
            return;
        }
    }
    const double raw = double(image.sizeInBytes());
    std::printf("%s content, 3840x2160 XRGB32 (%.1f MB raw)\n", qPrintable(set), raw / 1e6);
    print(QStringLiteral("  filtered + zstd 1: compressed bytes per capture"), packed.size() / 1e6,
          "MB");
    print(QStringLiteral("  filtered + zstd 1: ratio to raw"), 100.0 * packed.size() / raw, "%");
    print(QStringLiteral("  compress, median of 5"), median(compressTimes), "ms");
    print(QStringLiteral("  decode, median of 5"), median(decodeTimes), "ms");

    // For comparison: zstd at the same level on the raw row bytes, padding included.
    QByteArray plain(qsizetype(ZSTD_compressBound(size_t(raw))), Qt::Uninitialized);
    QElapsedTimer timer;
    timer.start();
    const size_t plainSize =
        ZSTD_compress(plain.data(), size_t(plain.size()), image.constBits(), size_t(raw), 1);
    const double plainTime = timer.nsecsElapsed() / 1e6;
    if (!ZSTD_isError(plainSize)) {
        print(QStringLiteral("  plain zstd 1 on raw pixels: ratio to raw (comparison)"),
              100.0 * double(plainSize) / raw, "%");
        print(QStringLiteral("  plain zstd 1 on raw pixels: time (comparison)"), plainTime, "ms");
    }
}

/// 50 records of every kind over a 3840x2160 capture shown in a 1000-point-wide canvas, one
/// of them an inserted picture of 400 x 300 busy pixels, distinct per `n`.
SavedEdits::Content fiftyRecords(int n)
{
    SavedEdits::Content content;
    content.canvasSize = QSizeF(1000, 562.5);
    QRandomGenerator random(quint32(1000 + n));
    const auto point = [&random] { return QPointF(random.bounded(1000.0), random.bounded(562.0)); };
    const DrawingTool kinds[] = {
        DrawingTool::Pen,  DrawingTool::Rectangle,   DrawingTool::Arrow, DrawingTool::Ellipse,
        DrawingTool::Line, DrawingTool::Highlighter, DrawingTool::Step,  DrawingTool::Redact};
    for (int i = 0; i < 44; ++i) {
        const DrawingTool kind = kinds[i % 8];
        Annotation record =
            Annotation::create(kind, point(), QColor::fromHsv((i * 40) % 360, 255, 230));
        const int points = kind == DrawingTool::Pen || kind == DrawingTool::Highlighter ? 40 : 1;
        for (int p = 0; p < points; ++p)
            record.points.append(point());
        record.pixelate = i % 16 == 7;
        content.records.append(record);
    }
    for (int i = 0; i < 5; ++i) {
        Annotation text = Annotation::createText(point(), Qt::white, i % 2 == 0,
                                                 QStringLiteral("DejaVu Sans"), 24);
        text.textPayload = QStringLiteral("Note %1 on capture %2").arg(i).arg(n);
        content.records.append(text);
    }
    QImage inserted = busyContent().copy(QRect(100 + n, 200, 400, 300));
    Annotation image = Annotation::create(DrawingTool::DroppedImage, point(), Qt::red);
    image.imagePayload = inserted;
    content.records.append(image);
    return content;
}

/// Child process: 100 captures of `set` through the manager, each compressed before the next
/// is taken (as a user pressing the key once a second would have it); with `edited`, each then
/// saved with fiftyRecords() and its flattened picture and thumbnail made before the next.
/// Prints the figures.
int stackFigures(const QString &set, bool edited = false)
{
    const qint64 before = residentBytes();
    ScreenshotManager manager(std::make_unique<GeneratedCapture>(content(set)),
                              [] { return std::optional<qreal>(1); });
    CaptureStore *store = manager.store();
    QSignalSpy finished(&manager, &ScreenshotManager::captureFinished);
    const qint64 withContent = residentBytes();
    std::vector<double> toCompressed, toFlattened;
    for (int i = 0; i < StackSize; ++i) {
        QElapsedTimer timer;
        timer.start();
        // An edited capture's inserted picture is kept compressed too: one more each.
        const int held = store->usage().compressedCount;
        manager.takeScreenshot();
        const bool done = QTest::qWaitFor(
            [&] { return finished.size() == i + 1 && store->usage().compressedCount == held + 1; },
            60000);
        if (!done) {
            std::printf("capture %d was not compressed in time\n", i + 1);
            return 1;
        }
        toCompressed.push_back(timer.nsecsElapsed() / 1e6);
        if (!edited)
            continue;
        const quint64 id = manager.captureIdAt(0);
        const SavedEdits::Content records = fiftyRecords(i);
        QSignalSpy rowChanges(manager.screenshots(), &QAbstractItemModel::dataChanged);
        QElapsedTimer saved;
        saved.start();
        manager.setEdits(id, SavedEdits::make(records, store));
        // The flattened picture's sizes, then its thumbnail; the inserted picture compressed.
        const bool flattened = QTest::qWaitFor(
            [&] { return rowChanges.size() >= 2 && store->usage().rawCount == 0; }, 60000);
        if (!flattened) {
            std::printf("edited capture %d was not drawn in time\n", i + 1);
            return 1;
        }
        toFlattened.push_back(saved.nsecsElapsed() / 1e6);
    }
    store->waitForWorkers();
    const CaptureStore::Usage usage = store->usage();
    const qint64 after = residentBytes();
    std::printf("%s content, %d captures of 3840x2160%s\n", qPrintable(set), StackSize,
                edited ? " each saved with 50 annotations" : "");
    print(QStringLiteral("  take to verified compressed copy (thumbnail first), median"),
          median(toCompressed), "ms");
    if (edited)
        print(QStringLiteral(
                  "  saved edits to flattened row and thumbnail, off the UI thread, median"),
              median(toFlattened), "ms");
    print(QStringLiteral("  compressed pixels held"), usage.compressedBytes / 1e6, "MB");
    print(QStringLiteral("  raw pixels held"), usage.rawBytes / 1e6, "MB");
    print(QStringLiteral("  as raw images they would be"),
          double(StackSize) * double(CaptureSize.width()) * CaptureSize.height() * 4 / 1e6, "MB");
    print(QStringLiteral("  process RSS before the manager"), before / 1e6, "MB");
    print(QStringLiteral("  process RSS with the generated content, no capture"), withContent / 1e6,
          "MB");
    print(QStringLiteral("  process RSS after %1 captures").arg(StackSize), after / 1e6, "MB");
    std::printf("rss-after-captures %lld\n", after);
    print(QStringLiteral("  of which the benchmark's own source picture"),
          double(CaptureSize.width()) * CaptureSize.height() * 4 / 1e6, "MB");
    return 0;
}

/// Opens the editor window on capture `index`, as AppDelegate does, and returns the time
/// until a frame showing its pixels has been rendered.
double editorOpenTime(QQmlEngine &engine, ScreenshotManager &manager, Preferences &preferences,
                      int index)
{
    QElapsedTimer timer;
    timer.start();
    EditorSession session(&manager, index);
    QQuickView view(&engine, nullptr);
    view.setResizeMode(QQuickView::SizeRootObjectToView);
    view.setInitialProperties({{QStringLiteral("session"), QVariant::fromValue(&session)},
                               {QStringLiteral("preferences"), QVariant::fromValue(&preferences)}});
    view.setSource(QUrl(QStringLiteral("qrc:/qt/qml/Orrinvale/editor/EditorView.qml")));
    view.resize(1000, 750);
    QSignalSpy swapped(&view, &QQuickWindow::frameSwapped);
    view.show();
    // The first frame after the pixels arrived is the one that shows them.
    bool imageSeen = false;
    int framesAtImage = 0;
    const bool shown = QTest::qWaitFor(
        [&] {
            if (!imageSeen && !session.image().isNull()) {
                imageSeen = true;
                framesAtImage = swapped.size();
            }
            return imageSeen && swapped.size() > framesAtImage;
        },
        20000);
    return shown ? timer.nsecsElapsed() / 1e6 : -1;
}

void editorFigures()
{
    ScreenshotManager manager(std::make_unique<GeneratedCapture>(busyContent()),
                              [] { return std::optional<qreal>(1); });
    CaptureStore *store = manager.store();
    constexpr int runs = 7;
    // Captures 0 .. runs-1 for the editor, runs .. 2 runs-1 for decoding alone, the last for
    // the warm-up: each is decoded once only, so the cache never serves one of them.
    constexpr int captures = 2 * runs + 1;
    for (int i = 0; i < captures; ++i) {
        manager.takeScreenshot();
        if (!QTest::qWaitFor([&] { return store->usage().compressedCount == i + 1; }, 60000)) {
            std::printf("capture %d was not compressed in time\n", i + 1);
            return;
        }
    }
    QTemporaryDir dir;
    Preferences preferences(dir.filePath(QStringLiteral("bench.conf")));
    QQmlEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    // Warm-up: QML compiled, caches filled.
    editorOpenTime(engine, manager, preferences, captures - 1);

    std::vector<double> compressed, decodeOnly;
    for (int i = 0; i < runs; ++i) {
        const double t = editorOpenTime(engine, manager, preferences, i);
        if (t >= 0)
            compressed.push_back(t);
    }
    // The same window on pixels at hand: the capture just opened is in the decoded cache.
    std::vector<double> ready;
    for (int i = 0; i < 5; ++i)
        ready.push_back(editorOpenTime(engine, manager, preferences, runs - 1));
    for (int i = runs; i < 2 * runs; ++i) {
        // Decoding alone, through the store's worker.
        const quint64 id = manager.captureIdAt(i);
        QElapsedTimer timer;
        timer.start();
        bool delivered = false;
        QObject context;
        store->load(id, &context, [&](const Result<QImage> &) { delivered = true; });
        if (QTest::qWaitFor([&] { return delivered; }, 20000))
            decodeOnly.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("editor window 1000x750 on a busy 3840x2160 capture (QT_QUICK_BACKEND=%s)\n",
                qgetenv("QT_QUICK_BACKEND").isEmpty() ? "default"
                                                      : qgetenv("QT_QUICK_BACKEND").constData());
    print(QStringLiteral("  open to first frame with the pixels, compressed capture, median"),
          median(compressed), "ms");
    print(QStringLiteral("  open to first frame with the pixels, pixels at hand, median"),
          median(ready), "ms");
    print(QStringLiteral("  store decode request to delivery on the UI thread, median"),
          median(decodeOnly), "ms");
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() > 2 && arguments.at(1) == QLatin1String("--stack"))
        return stackFigures(arguments.at(2));
    if (arguments.size() > 2 && arguments.at(1) == QLatin1String("--edited-stack"))
        return stackFigures(arguments.at(2), true);

    codecFigures(QStringLiteral("busy"));
    codecFigures(QStringLiteral("clean"));
    codecFigures(QStringLiteral("busy, independent grain"));
    // Each stack in a fresh process; the edited busy one against the unedited busy one.
    const auto stack = [](const QString &mode, const QString &set) -> qint64 {
        QProcess child;
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(), {mode, set});
        child.waitForFinished(900000);
        qint64 rss = -1;
        for (const QByteArray &line : child.readAll().split('\n')) {
            if (line.startsWith("rss-after-captures "))
                rss = line.mid(19).toLongLong();
            else if (!line.isEmpty())
                std::printf("%s\n", line.constData());
        }
        std::fflush(stdout);
        return rss;
    };
    const qint64 unedited = stack(QStringLiteral("--stack"), QStringLiteral("busy"));
    stack(QStringLiteral("--stack"), QStringLiteral("clean"));
    const qint64 edited = stack(QStringLiteral("--edited-stack"), QStringLiteral("busy"));
    if (unedited > 0 && edited > 0)
        print(QStringLiteral("100 busy captures, edited (50 annotations each) / unedited RSS"),
              100.0 * double(edited) / double(unedited), "%");
    editorFigures();
    return 0;
}
