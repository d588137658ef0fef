#pragma once

#include "platform/Result.h"

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QObject>
#include <QThreadPool>
#include <QtQml/qqmlregistration.h>

#include <functional>

class Preferences;
class ScreenshotManager;

/**
 * Saves captures, and pictures the editor rendered, to files: with no path given into the
 * save folder under the name pattern (never replacing a file: see SaveName), else to the
 * path given (replacing what is there: the user named it). The format follows the
 * extension. Pixels are decoded, encoded and written off the UI thread, through a temporary
 * file renamed into place (AtomicFileWrite); "Saved <path>" or "Save failed: <why>" is
 * logged for each, and the capture stays on the stack either way. Made by AppDelegate; the
 * stack's menu, the editor and D-Bus use it.
 */
class CaptureSaver : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by AppDelegate")

public:
    enum class Format { Png, Jpeg, Webp };
    struct Target
    {
        Format format = Format::Png;
        QString extension; // with its dot, as the file will have it
    };
    /// Gets the path written, or the line that said why nothing was; on the UI thread.
    using Done = std::function<void(const Result<QString> &)>;
    using Encoded = std::function<void(const Result<QByteArray> &)>;
    using Clock = std::function<QDateTime()>;

    static constexpr int JpegQuality = 90;

    CaptureSaver(ScreenshotManager *manager, const Preferences *preferences,
                 QObject *parent = nullptr);
    ~CaptureSaver() override;

    /// The time names are made for (tests give their own).
    void setClock(Clock clock) { m_clock = std::move(clock); }

    /// The format of `path` by its extension (case does not matter): .png, .jpg, .jpeg,
    /// .webp where Qt has a WebP plugin; a name without one is a PNG. Anything else is
    /// refused, saying what can be used.
    static Result<Target> targetFor(const QString &path);
    /// `image` in `format`: our fast PNG, JPEG at JpegQuality (transparency on white), WebP.
    static Result<QByteArray> encode(const QImage &image, Format format);

    /// Saves the capture with this id: to `path`, or to the save folder when it is empty.
    /// `done` is not called once `context` is gone.
    void saveCapture(quint64 captureId, const QString &path = QString(), QObject *context = nullptr,
                     Done done = nullptr);
    /// The same for the newest capture; fails with one line when the stack is empty.
    void saveLatest(const QString &path = QString(), QObject *context = nullptr,
                    Done done = nullptr);
    /// The same for a picture at hand.
    void saveImage(const QImage &image, const QString &path = QString(), QObject *context = nullptr,
                   Done done = nullptr);
    /// The newest capture as PNG bytes, for standard output.
    void encodeLatest(QObject *context, Encoded done);

    /// A suggestion for "Save As...": the pattern's next name in chooserFolder().
    QString suggestedPath() const;
    /// Where "Save As..." opens, so that the chooser never starts in a folder that is not
    /// there: `saveFolder`, made first if it is missing and can be; else the first of
    /// `fallbacks` (the Pictures folder, home) that is a folder.
    static QString chooserFolder(const QString &saveFolder, const QStringList &fallbacks);

    /// Waits until no save is running and takes in their results (for tests).
    void waitForSaves();

private:
    using Pixels = std::function<Result<QImage>()>;
    void save(Pixels pixels, const QString &path, QObject *context, Done done);
    void finish(const Result<QString> &written, QObject *context, const Done &done, bool guarded);

    ScreenshotManager *m_manager;
    const Preferences *m_preferences;
    Clock m_clock;
    // One thread: saves end in the order they were asked for, and a burst of them (each new
    // capture saved) never takes both cores from the captures.
    QThreadPool m_worker;
};
