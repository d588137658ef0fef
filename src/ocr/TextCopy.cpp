#include "TextCopy.h"

#include "ReadingOrder.h"
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

Result<QString> TextCopy::read(TextRecogniser &recogniser, const QImage &picture,
                               const QStringList &languages)
{
    const qreal ratio = picture.devicePixelRatio();
    const int scale = TextImagePreparation::scaleFor(picture.size(), ratio);
    const QImage prepared = TextImagePreparation::prepare(picture, scale);
    if (prepared.isNull())
        return Result<QString>::failure(QStringLiteral("there is no picture to read"));
    // Screens draw 96 pixels to the inch at one pixel to a point.
    const int dotsPerInch = int(96 * (ratio > 0 ? ratio : 1.0) * scale);
    const auto lines = recogniser.recognise(prepared, languages, dotsPerInch);
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
        const Result<QString> text = read(*recogniser, picture, languages);
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
