#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

class QMimeData;
class QObject;

/**
 * The one way pictures enter the editor, shared by "Insert", paste and drops. It lists
 * what a clipboard or a drop offers (files first, then image data), reads local regular
 * files only, up to a size cap and without ever opening a pipe or a device, and decodes
 * raster formats only, after checking the size the picture declares; image data in memory
 * obeys the same caps as a file. Decoding runs off the UI
 * thread; the result comes back with a context object, so a closed editor receives nothing.
 * Used by EditorState and CanvasDropArea.
 */
namespace ImageIntake {

/// Files larger than this are not read, nor is image data larger than this decoded.
inline constexpr qint64 maximumFileBytes = 256LL * 1024 * 1024;
/// Images that declare more pixels than this are not decoded: 256 MiB at 32 bits a pixel.
inline constexpr qint64 maximumPixels = 64LL * 1024 * 1024;
/// The long side of the copy shown on the canvas; the export uses the full image.
inline constexpr int maximumDisplaySide = 4096;

/// One thing that may hold a picture: a file's URL, or encoded bytes of a MIME type.
struct Source
{
    QUrl url;
    QByteArray data;
    QString mimeType;

    bool isFile() const { return !url.isEmpty(); }
    bool operator==(const Source &other) const = default;
};

/// A decoded picture: the full image and the copy the canvas shows (the same image when it
/// is small enough).
struct Decoded
{
    QImage image;
    QImage display;
};

/// What `mime` offers, in the order it is tried, its bytes copied: the listed files
/// (text/uri-list, else a file manager's copied-files list), then image data, PNG first,
/// if it is no larger than maximumFileBytes.
QList<Source> sourcesOf(const QMimeData &mime);

/// Whether `mime` names any file or carries any image data (cheap: only its formats).
bool mayHoldImage(const QMimeData &mime);

/// The bytes of a local regular file of at most maximumFileBytes (a file URL with no host
/// or "localhost"); anything else fails, and what is not a regular file is never opened.
std::optional<QByteArray> readFile(const QUrl &url);

/// `bytes` decoded, if they are at most maximumFileBytes of a raster image within
/// maximumPixels (judged from its header, before any pixels are allocated); EXIF
/// orientation applied, one pixel per point.
std::optional<QImage> decode(const QByteArray &bytes);

/// Whether `source` looks like an image that `load` can take, judged from its header only.
bool looksReadable(const Source &source);

/// The copy of `image` the canvas shows: at most maximumDisplaySide on the long side.
QImage displayCopy(const QImage &image);

/// One source read and decoded.
std::optional<Decoded> load(const Source &source);
/// The first of `sources` that loads.
std::optional<Decoded> loadFirst(const QList<Source> &sources);

/// Loads the first of `sources` that loads on a pool thread, then calls `done` on
/// `context`'s thread with the picture, unless `context` is gone by then. Nothing is
/// called when no source loads.
void loadInBackground(const QList<Source> &sources, QObject *context,
                      std::function<void(const Decoded &)> done);

} // namespace ImageIntake
