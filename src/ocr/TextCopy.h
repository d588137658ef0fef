#pragma once

#include "TextRecogniser.h"
#include "platform/Result.h"

#include <QImage>
#include <QObject>
#include <QThreadPool>

#include <functional>
#include <memory>

class Clipboard;
class ScreenshotManager;
class TextLanguages;

/**
 * "Copy Text": reads the text of a capture, or of a picture the editor hands over, and puts
 * it on the clipboard as plain text, lines in reading order. The picture is prepared
 * (TextImagePreparation), cut into bands (TextBands) and read (TextRecogniser) off the UI
 * thread, two bands at once on two cores; the clipboard is filled on the UI thread. Each request
 * ends in one line: "Copied N characters of text.", "No text found in the capture." (the clipboard
 * keeps what it held) or why it failed, naming the package to install when there is no language
 * data. Made by AppDelegate; the stack's menu, the editor, the command line and D-Bus use it.
 */
class TextCopy : public QObject
{
    Q_OBJECT

public:
    /// Gets the text copied ("" when there was none), or the line that said why nothing
    /// was; on the UI thread, unless `context` has gone.
    using Done = std::function<void(const Result<QString> &)>;

    TextCopy(ScreenshotManager *manager, Clipboard *clipboard,
             std::shared_ptr<TextRecogniser> recogniser, const TextLanguages *languages,
             QObject *parent = nullptr);
    ~TextCopy() override;

    /// Lines less tall than this, in the picture's own pixels, are dropped: no text that
    /// small can be read (a thumbnail's, a photo's grain).
    static constexpr int MinimumLineHeight = 6;
    /// Lines the recogniser is less sure of than this (of 100) are dropped: what it reads in
    /// an icon or a pattern. Screen text is read at 80 and more.
    static constexpr int MinimumConfidence = 40;

    /// How many bands of a picture are read at once: one engine to a core, at most two.
    static int engineCount();
    /// The lines of `picture` read in `languages`, placed in its pixels: its bands
    /// (TextBands) read on `engines` threads at once (the calling one among them); the whole
    /// picture in one piece when no band holds text. Lines too small or too doubtful to be
    /// text are left out.
    static Result<QList<RecognisedLine>> readLines(TextRecogniser &recogniser,
                                                   const QImage &picture,
                                                   const QStringList &languages, int engines);
    /// Those lines in reading order: what the worker does (the benchmark calls it too).
    static Result<QString> read(TextRecogniser &recogniser, const QImage &picture,
                                const QStringList &languages, int engines);

    void copyTextOfCapture(quint64 captureId, QObject *context = nullptr, Done done = nullptr);
    /// The same for the newest capture; fails with one line when the stack is empty.
    void copyTextOfLatest(QObject *context = nullptr, Done done = nullptr);
    /// The same for a picture at hand (a region of the editor's picture).
    void copyTextOfImage(const QImage &picture, QObject *context = nullptr, Done done = nullptr);

    /// Waits until no reading is running and takes in the results (for tests).
    void waitForDone();

private:
    void start(const QImage &picture, QObject *context, Done done, bool guarded);
    void finish(const Result<QString> &text, QObject *context, const Done &done, bool guarded);
    void fail(const QString &line, QObject *context, const Done &done);

    ScreenshotManager *m_manager;
    Clipboard *m_clipboard;
    std::shared_ptr<TextRecogniser> m_recogniser;
    const TextLanguages *m_languages;
    // One picture at a time; its bands spread over engineCount() threads from here.
    QThreadPool m_worker;
};
