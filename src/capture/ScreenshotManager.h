#pragma once

#include "CaptureListModel.h"
#include "CaptureRequest.h"
#include "CaptureStore.h"
#include "DesktopGeometry.h"
#include "DesktopPicture.h"

#include <QObject>
#include <QThreadPool>
#include <QtQml/qqmlregistration.h>

#include <functional>
#include <memory>
#include <optional>

class CaptureEdits;
class PixelCodec;
class ScreenCapture;

/**
 * Holds the captures of the run, newest first, and whether the stack is shown; takes new
 * captures through the screen-capture service. Their pixels are kept in a CaptureStore,
 * compressed once the thumbnail is made. A capture is its original picture and, once edited,
 * its saved edits, which everything that hands it out sees drawn over it; an editor closed
 * with edits unsaved leaves them here as the capture's draft. One instance, owned by
 * AppDelegate; the stack panel and the editor bind to it.
 */
class ScreenshotManager : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Owned by AppDelegate")
    Q_PROPERTY(CaptureListModel *screenshots READ screenshots CONSTANT)
    Q_PROPERTY(bool isVisible READ isVisible NOTIFY isVisibleChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    /// The main screen's device pixel ratio, or nothing when there is no screen.
    using ScreenScale = std::function<std::optional<qreal>()>;
    /// Where the screens are now, and where the pointer is, in logical pixels.
    using DesktopSource = std::function<DesktopGeometry()>;
    using PointerSource = std::function<QPoint()>;

    static constexpr int ThumbnailWidth = 230; // points
    /// Raw pixels waiting for compression before further captures wait too: requests made
    /// faster than captures compress (a held key, a script) queue as requests, not as pixels.
    static constexpr qint64 DefaultBacklogLimit = qint64(512) << 20;

    /// `codec` null means the store's own.
    explicit ScreenshotManager(std::unique_ptr<ScreenCapture> capture,
                               ScreenScale screenScale = primaryScreenScale,
                               QObject *parent = nullptr,
                               std::shared_ptr<const PixelCodec> codec = nullptr);
    ~ScreenshotManager() override;

    static std::optional<qreal> primaryScreenScale();
    /// The integer scale captures are taken at: the ratio truncated, at least 1; 2 without a
    /// screen.
    static int captureScale(std::optional<qreal> screenScale);

    CaptureListModel *screenshots() { return &m_screenshots; }
    /// The captures' full pixels, by capture id.
    CaptureStore *store() { return &m_store; }
    bool isVisible() const { return m_isVisible; }
    int count() const { return m_screenshots.count(); }

    /// The full pixels, decoded on this thread if need be: the UI asks the store instead.
    QImage imageAt(int index) const { return m_store.image(captureIdAt(index)); }
    quint64 captureIdAt(int index) const { return m_screenshots.idAt(index); }
    int indexOfCapture(quint64 captureId) const { return m_screenshots.indexOf(captureId); }

    /// The edits of the capture with this id from now on (null: none, the original again),
    /// in place of its draft; its flattened picture is drawn off the UI thread and its row
    /// and thumbnail follow when it is ready. False if there is no such capture.
    bool setEdits(quint64 captureId, std::shared_ptr<const CaptureEdits> edits);
    /// The saved edits of the capture, null when it has none.
    std::shared_ptr<const CaptureEdits> edits(quint64 captureId) const;
    /// Keeps `draft` as the unsaved edits of the capture (null: it has none); nothing for a
    /// capture not on the stack. A draft lives as long as its capture.
    void setDraft(quint64 captureId, std::shared_ptr<const CaptureEdits> draft);
    std::shared_ptr<const CaptureEdits> draft(quint64 captureId) const;

    /// Takes the capture with this id off the stack and lets go of its pixels, edits and
    /// draft; false if there is none. The ones below move up.
    bool removeCapture(quint64 captureId);
    /// Empties the stack.
    void removeAll();

    void setBacklogLimit(qint64 bytes) { m_backlogLimit = bytes; }
    /// Requests waiting for the backlog to shrink.
    int waitingRequests() const { return int(m_waiting.size()); }

    /// Both default to the application's screens and cursor.
    void setDesktopSource(DesktopSource source) { m_desktop = std::move(source); }
    void setPointerSource(PointerSource source) { m_pointer = std::move(source); }

    /// Takes what `request` asks for, after its delay. A request with a bad value (a region
    /// off every screen, a zero size, a delay out of range, no region to repeat) is refused
    /// with one line logged and nothing captured; the reason is returned then, an empty
    /// string when the request was taken.
    QString request(const CaptureRequest &request);
    /// Why `request` would be refused on the desktop as it is now; empty when it would not.
    QString refusal(const CaptureRequest &request) const;
    /// The region to repeat: the one accepted or given last in this run.
    std::optional<QRect> lastRegion() const { return m_lastRegion; }

    /// Puts `logical` of a frozen picture (the region overlay's) on the stack and keeps it
    /// as the last region; ends the SelectRegion request that made the picture.
    void acceptRegion(const DesktopPicture &picture, const QRect &logical);
    /// Ends a SelectRegion request with nothing added and nothing logged.
    void cancelRegion();

public Q_SLOTS:
    void takeScreenshot();
    void toggleVisibility();
    /// Asks for the editor on the capture at `index`; ignored when the index is not in the list.
    void requestPreview(int index);
    /// Asks for the capture's menu (a right click on its thumbnail); ignored when the index
    /// is not in the list.
    void requestContextMenu(int index);
    /// Removes the capture at `index`; ignored when the index is not in the list.
    void remove(int index);

Q_SIGNALS:
    void isVisibleChanged();
    void countChanged();
    void previewRequested(int index);
    /// A SelectRegion request has its picture of the whole desktop; `windows` are the
    /// top-level windows' rectangles in logical pixels, the topmost first (none where the
    /// desktop hides them). acceptRegion() or cancelRegion() ends the request.
    void regionSelectionReady(const DesktopPicture &picture, const QList<QRect> &windows);
    void contextMenuRequested(quint64 captureId);
    /// The capture left the stack (it was removed, or the stack emptied).
    void captureRemoved(quint64 captureId);
    /// Every capture request ends with exactly one of these two.
    void captureFinished(quint64 captureId);
    void captureFailed(const QString &message);

private:
    void startWaitingCaptures();
    bool hasRoomForCapture() const;
    void startCapture();
    void startAreaCapture(const CaptureRequest &request);
    QString refuse(const QString &reason);
    void captureEnded();
    void insertCapture(quint64 captureId, const QImage &image);
    void addToStack(quint64 captureId, const QImage &image);
    void makeThumbnail(quint64 captureId, int revision, const QImage &image);
    /// The row and thumbnail of the capture after its edits changed.
    void refreshFlattened(quint64 captureId);
    void setVisible(bool visible);

    std::unique_ptr<ScreenCapture> m_capture;
    ScreenScale m_screenScale;
    CaptureListModel m_screenshots;
    CaptureStore m_store;
    bool m_isVisible = true;
    quint64 m_nextCaptureId = 1;
    qint64 m_backlogLimit = DefaultBacklogLimit;
    QList<CaptureRequest> m_waiting;
    DesktopSource m_desktop = DesktopGeometry::fromApplication;
    PointerSource m_pointer;
    std::optional<QRect> m_lastRegion;
    bool m_capturing = false;
    qint64 m_lastCaptureBytes = 0;
    // One thread: captures share the backend's connection and reach the list in the order
    // they complete.
    QThreadPool m_worker;
    // Thumbnails on their own thread, so a capture never waits behind one.
    QThreadPool m_thumbnailWorker;
    // After the store: drafts hold pictures kept by it, let go of before it goes.
    QHash<quint64, std::shared_ptr<const CaptureEdits>> m_drafts;
};
