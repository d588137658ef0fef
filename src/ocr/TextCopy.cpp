#include "TextCopy.h"

#include "ReadingOrder.h"
#include "TextBands.h"
#include "TextImagePreparation.h"
#include "TextLanguages.h"
#include "TextRecogniser.h"
#include "capture/CaptureStore.h"
#include "capture/ScreenshotManager.h"
#include "platform/Clipboard.h"
#include "platform/Log.h"

#include <QCoreApplication>
#include <QMimeData>
#include <QPointer>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

TextCopy::TextCopy(ScreenshotManager *manager, Clipboard *clipboard,
                   std::shared_ptr<TextRecogniser> recogniser, const TextLanguages *languages,
                   QObject *parent)
    : QObject(parent), m_manager(manager), m_clipboard(clipboard),
      m_recogniser(std::move(recogniser)), m_languages(languages)
{
    m_worker.setMaxThreadCount(1);
}

// A reading still running ends first (its result is dropped with this object); those
// queued behind it are not started.
TextCopy::~TextCopy()
{
    m_worker.clear();
    m_worker.waitForDone();
}

int TextCopy::engineCount()
{
    return std::clamp(QThread::idealThreadCount(), 1, 2);
}

namespace {

using Lines = Result<QList<RecognisedLine>>;

/// One band of `grey` enlarged as it asks, read, and its lines placed in `grey`'s pixels.
Lines readBand(TextRecogniser &recogniser, const QImage &grey, const TextBand &band,
               const QStringList &languages, qreal ratio)
{
    QImage piece = grey.copy(band.area);
    if (band.scale > 1) {
        piece = piece.scaled(piece.size() * band.scale, Qt::IgnoreAspectRatio,
                             Qt::SmoothTransformation);
        if (piece.format() != QImage::Format_Grayscale8)
            piece = piece.convertToFormat(QImage::Format_Grayscale8);
    }
    // Screens draw 96 pixels to the inch at one pixel to a point.
    const int dotsPerInch = int(96 * ratio * band.scale);
    Lines lines = recogniser.recognise(piece, languages, dotsPerInch);
    if (!lines.ok())
        return lines;
    QList<RecognisedLine> placed;
    for (const RecognisedLine &line : lines.value()) {
        const QRect box = line.box;
        // Whole pixels down (QPoint's division would round).
        const int by = band.scale;
        const QRect at(
            QPoint(band.area.left() + box.left() / by, band.area.top() + box.top() / by),
            QPoint(band.area.left() + box.right() / by, band.area.top() + box.bottom() / by));
        // Enlarged, the tiny text of a thumbnail or a picture on the screen is read as words
        // that are not there; so is the odd icon or pattern, though with little confidence.
        if (at.height() < TextCopy::MinimumLineHeight ||
            line.confidence < TextCopy::MinimumConfidence)
            continue;
        placed.append({line.text, at, line.confidence});
    }
    return placed;
}

} // namespace

Result<QList<RecognisedLine>> TextCopy::readLines(TextRecogniser &recogniser, const QImage &picture,
                                                  const QStringList &languages, int engines)
{
    const qreal ratio = picture.devicePixelRatio() > 0 ? picture.devicePixelRatio() : 1.0;
    const int scale = TextImagePreparation::scaleFor(picture.size(), ratio);
    const QImage grey = TextImagePreparation::prepare(picture, 1);
    if (grey.isNull())
        return Lines::failure(QStringLiteral("there is no picture to read"));
    engines = std::max(engines, 1);
    QList<TextBand> bands = TextBands::find(grey, scale, engines * 2);
    if (bands.isEmpty())
        bands = {{grey.rect(), scale}};
    // The largest first, so that the engines finish close together.
    const auto work = [](const TextBand &band) {
        return qint64(band.area.width()) * band.area.height() * band.scale * band.scale;
    };
    std::stable_sort(bands.begin(), bands.end(),
                     [&](const TextBand &a, const TextBand &b) { return work(a) > work(b); });

    std::vector<Lines> results(size_t(bands.size()), Lines(QList<RecognisedLine>()));
    std::atomic<qsizetype> next = 0;
    const auto readNext = [&] {
        for (qsizetype at = next++; at < bands.size(); at = next++)
            results[size_t(at)] = readBand(recogniser, grey, bands.at(at), languages, ratio);
    };
    std::vector<std::thread> helpers;
    for (int i = 1; i < std::min<qsizetype>(engines, bands.size()); ++i)
        helpers.emplace_back(readNext);
    readNext();
    for (std::thread &helper : helpers)
        helper.join();

    QList<RecognisedLine> lines;
    for (const Lines &band : results) {
        if (!band.ok())
            return band;
        lines.append(band.value());
    }
    return lines;
}

Result<QString> TextCopy::read(TextRecogniser &recogniser, const QImage &picture,
                               const QStringList &languages, int engines)
{
    const auto lines = readLines(recogniser, picture, languages, engines);
    if (!lines.ok())
        return Result<QString>::failure(lines.error());
    return ReadingOrder::join(lines.value());
}

void TextCopy::copyTextOfCapture(quint64 captureId, QObject *context, Done done)
{
    const bool guarded = context != nullptr;
    if (m_manager->indexOfCapture(captureId) < 0)
        return fail(QStringLiteral("Copy Text failed: the capture is no longer on the stack."),
                    context, done);
    const QPointer<QObject> weakContext(context);
    m_manager->store()->load(
        captureId, this, [this, weakContext, guarded, done](const Result<QImage> &picture) {
            if (guarded && !weakContext)
                return;
            if (!picture.ok())
                return fail(QStringLiteral("Copy Text failed: %1.").arg(picture.error()),
                            weakContext, done);
            start(picture.value(), weakContext, done, guarded);
        });
}

void TextCopy::copyTextOfLatest(QObject *context, Done done)
{
    if (m_manager->count() == 0)
        return fail(QStringLiteral("Nothing to read: the stack is empty."), context, done);
    copyTextOfCapture(m_manager->captureIdAt(0), context, std::move(done));
}

void TextCopy::copyTextOfImage(const QImage &picture, QObject *context, Done done)
{
    if (picture.isNull())
        return fail(QStringLiteral("Copy Text failed: there is no picture to read."), context,
                    done);
    start(picture, context, std::move(done), context != nullptr);
}

void TextCopy::start(const QImage &picture, QObject *context, Done done, bool guarded)
{
    const QStringList languages = m_languages->chosen();
    if (languages.isEmpty()) {
        return fail(QStringLiteral("Copy Text needs language data: install the package %1.")
                        .arg(TextLanguages::packageFor(QStringLiteral("eng"))),
                    context, done);
    }
    const QPointer<QObject> weakContext(context);
    m_worker.start([this, recogniser = m_recogniser, picture, languages, weakContext, done,
                    guarded] {
        const Result<QString> text = read(*recogniser, picture, languages, engineCount());
        QMetaObject::invokeMethod(
            this,
            [this, text, weakContext, done, guarded] { finish(text, weakContext, done, guarded); },
            Qt::QueuedConnection);
    });
}

void TextCopy::finish(const Result<QString> &text, QObject *context, const Done &done, bool guarded)
{
    if (!text.ok()) {
        Log::line(QStringLiteral("Copy Text failed: %1.").arg(text.error()));
    } else if (text.value().isEmpty()) {
        Log::line(QStringLiteral("No text found in the capture."));
    } else {
        auto *data = new QMimeData;
        data->setText(text.value());
        m_clipboard->setMimeData(data);
        Log::line(
            QStringLiteral("Copied %1 characters of text.").arg(text.value().toUcs4().size()));
    }
    if (done && (!guarded || context))
        done(text.ok() ? text
                       : Result<QString>::failure(
                             QStringLiteral("Copy Text failed: %1.").arg(text.error())));
}

void TextCopy::fail(const QString &line, QObject *context, const Done &done)
{
    Log::line(line);
    Q_UNUSED(context); // asked for now, so it is still there
    if (done)
        done(Result<QString>::failure(line));
}

void TextCopy::waitForDone()
{
    m_worker.waitForDone();
    QCoreApplication::sendPostedEvents(this);
}
