#include "EditorState.h"

#include "EditorSession.h"
#include "capture/CaptureSaver.h"
#include "capture/ClipboardCopy.h"
#include "editor/render/ExportRenderer.h"
#include "editor/render/ShapePaths.h"
#include "editor/tools/SelectGesture.h"
#include "editor/tools/ShapeEditing.h"
#include "ocr/TextCopy.h"
#include "platform/Clipboard.h"
#include "platform/FileChooser.h"
#include "platform/Log.h"
#include "platform/Preferences.h"

#include <QMimeData>

#include <cmath>

namespace {

std::optional<QUuid> uuidFrom(const QString &text)
{
    const QUuid id = QUuid::fromString(text);
    if (id.isNull())
        return std::nullopt;
    return id;
}

} // namespace

EditorState::EditorState(QObject *parent)
    : QObject(parent), m_pointer({m_document, m_viewport, m_tools}, m_tools.currentTool())
{
    connect(&m_tools, &ToolSettings::currentToolChanged, this, &EditorState::toolChanged);
    connect(&m_tools, &ToolSettings::colorChanged, this, &EditorState::colorChanged);
    connect(&m_tools, &ToolSettings::lineWidthChanged, this, &EditorState::lineWidthChanged);
    const auto handlesMoved = [this] { Q_EMIT selectionHandlesChanged(); };
    connect(&m_document, &AnnotationDocument::selectionChanged, this, handlesMoved);
    connect(m_document.records(), &QAbstractItemModel::dataChanged, this, handlesMoved);
    connect(m_document.records(), &QAbstractItemModel::rowsInserted, this, handlesMoved);
    connect(m_document.records(), &QAbstractItemModel::rowsRemoved, this, handlesMoved);
    connect(&m_viewport, &CanvasViewport::placementChanged, this, handlesMoved);
    const auto cropMoved = [this] { Q_EMIT cropViewChanged(); };
    connect(&m_document, &AnnotationDocument::cropChanged, this, cropMoved);
    connect(&m_viewport, &CanvasViewport::placementChanged, this, cropMoved);
    connect(&m_viewport, &CanvasViewport::placementChanged, this, &EditorState::textRegionChanged);
    const auto widthsShown = [this] { Q_EMIT showsLineWidthsChanged(); };
    connect(&m_tools, &ToolSettings::currentToolChanged, this, widthsShown);
    connect(&m_document, &AnnotationDocument::selectionChanged, this, widthsShown);
    connect(m_document.records(), &QAbstractItemModel::rowsRemoved, this, widthsShown);
    connect(m_document.records(), &QAbstractItemModel::rowsInserted, this, widthsShown);
    // The note on a restored draft lasts until the next edit.
    connect(&m_document, &AnnotationDocument::historyChanged, this, [this] {
        setDraftRestored(false);
        Q_EMIT canRevertChanged();
    });
}

QRectF EditorState::cropView() const
{
    const std::optional<QRectF> crop = m_document.crop();
    if (!crop)
        return {};
    return QRectF(m_viewport.canvasToView(crop->topLeft()),
                  m_viewport.canvasToView(crop->bottomRight()));
}

QRectF EditorState::textRegionView() const
{
    if (!m_textRegion)
        return {};
    return QRectF(m_viewport.canvasToView(m_textRegion->topLeft()),
                  m_viewport.canvasToView(m_textRegion->bottomRight()));
}

bool EditorState::pressTextRegion(QPointF v)
{
    if (m_finished || m_tools.currentTool() == DrawingTool::Ellipse)
        return false;
    m_textRegionStart = m_viewport.viewToCanvas(v);
    m_textRegion = QRectF(m_textRegionStart, QSizeF());
    Q_EMIT textRegionChanged();
    return true;
}

void EditorState::moveTextRegion(QPointF v)
{
    if (!m_textRegion)
        return;
    m_textRegion = QRectF(m_textRegionStart, m_viewport.viewToCanvas(v)).normalized();
    Q_EMIT textRegionChanged();
}

void EditorState::releaseTextRegion(QPointF v)
{
    moveTextRegion(v);
    // Less than a line of the smallest text on the screen: a click, not a region.
    const double least = 4 / std::max(m_viewport.canvasScale(), 0.01);
    if (m_textRegion && (m_textRegion->width() < least || m_textRegion->height() < least)) {
        m_textRegion.reset();
        Q_EMIT textRegionChanged();
    }
}

void EditorState::resetCrop()
{
    if (!m_finished)
        m_document.setCrop(std::nullopt);
}

bool EditorState::showsRedactStyles() const
{
    if (m_tools.currentTool() == DrawingTool::Redact)
        return true;
    const Annotation *selected = m_document.selectedRecord();
    return m_tools.isPointerMode() && selected && selected->type == DrawingTool::Redact;
}

void EditorState::setRedactPixelate(bool on)
{
    m_tools.setRedactPixelate(on);
    const Annotation *selected = m_document.selectedRecord();
    if (m_finished || !selected || selected->type != DrawingTool::Redact)
        return;
    m_document.update(selected->id, [on](Annotation &record) { record.pixelate = on; });
}

bool EditorState::showsLineWidths() const
{
    if (isStrokedTool(m_tools.currentTool()))
        return true;
    const Annotation *selected = m_document.selectedRecord();
    return m_tools.isPointerMode() && selected && isStrokedTool(selected->type);
}

EditorState::~EditorState() = default;

EditorSession *EditorState::session() const
{
    return m_session;
}

Preferences *EditorState::preferences() const
{
    return m_preferences;
}

void EditorState::setSession(EditorSession *session)
{
    if (m_session == session)
        return;
    if (m_session)
        disconnect(m_session, nullptr, this, nullptr);
    m_session = session;
    if (m_session) {
        connect(m_session, &EditorSession::imageChanged, this, &EditorState::captureChanged);
        connect(m_session, &EditorSession::closing, this, &EditorState::keepDraft);
    }
    captureChanged();
    Q_EMIT sessionChanged();
}

void EditorState::setPreferences(Preferences *preferences)
{
    if (m_preferences == preferences)
        return;
    m_preferences = preferences;
    Q_EMIT preferencesChanged();
}

void EditorState::captureChanged()
{
    const bool hasImage = m_session && !m_session->image().isNull();
    m_viewport.setCaptureSize(hasImage ? m_session->image().deviceIndependentSize() : QSizeF(0, 0));
    if (hasImage)
        restoreEdits();
}

void EditorState::restoreEdits()
{
    if (m_restored)
        return;
    m_restored = true;
    const std::shared_ptr<const SavedEdits> draft = m_session->draft();
    m_takenUp = draft ? draft : m_session->savedEdits();
    if (m_takenUp) {
        const SavedEdits::Content taken = m_takenUp->content();
        QHash<QUuid, QImage> displays;
        for (const Annotation &record : taken.records) {
            if (record.imagePayload && !record.imagePayload->isNull()) {
                displays.insert(record.id, ImageIntake::displayCopy(*record.imagePayload));
                m_takenUpImages.insert(record.id, record.imagePayload->cacheKey());
            }
        }
        m_viewport.setCanvasSize(taken.canvasSize);
        m_document.load(taken.records, displays, taken.crop);
    }
    setDraftRestored(draft != nullptr);
    Q_EMIT canRevertChanged();
}

void EditorState::setDraftRestored(bool restored)
{
    if (m_draftRestored == restored)
        return;
    m_draftRestored = restored;
    Q_EMIT draftRestoredChanged();
}

bool EditorState::canRevert() const
{
    return !m_finished && m_session && m_session->savedEdits() && !m_document.isEmpty();
}

SavedEdits::Content EditorState::content() const
{
    SavedEdits::Content now;
    for (const Annotation &record : m_document.list()) {
        if (!isBlankText(record))
            now.records.append(record);
    }
    now.crop = m_document.crop();
    now.canvasSize = m_viewport.viewSize();
    return now;
}

StoredImage EditorState::reusableImage(const Annotation &record) const
{
    if (!m_takenUp || !record.imagePayload)
        return {};
    const auto key = m_takenUpImages.constFind(record.id);
    if (key == m_takenUpImages.cend() || *key != record.imagePayload->cacheKey())
        return {};
    return m_takenUp->storedImage(record.id);
}

void EditorState::keepDraft()
{
    // Before the picture came, nothing was taken up, so an earlier draft stays as it is.
    if (m_finished || m_cancelled || !m_restored || !m_session || m_session->captureIndex() < 0)
        return;
    const SavedEdits::Content now = content();
    const auto reuse = [this](const Annotation &record) { return reusableImage(record); };
    const std::shared_ptr<const SavedEdits> saved = m_session->savedEdits();
    const bool unsaved = saved ? !saved->holds(now, reuse) : !now.isEmpty();
    m_session->keepDraft(unsaved ? SavedEdits::make(now, m_session->store(), reuse) : nullptr);
}

void EditorState::toolChanged()
{
    m_pointer.setTool(m_tools.currentTool());
    m_document.select(std::nullopt);
    releaseKeyFocusLater();
}

void EditorState::colorChanged()
{
    // Whatever chose the colour, the selected record takes it; with Redact, new
    // redactions too.
    const Annotation *selected = m_document.selectedRecord();
    const QColor color = m_tools.color();
    if (m_tools.currentTool() == DrawingTool::Redact)
        m_tools.setRedactColor(color);
    if (m_finished || !selected || selected->color == color)
        return;
    m_document.update(selected->id, [&color](Annotation &record) { record.color = color; });
}

void EditorState::lineWidthChanged()
{
    const Annotation *selected = m_document.selectedRecord();
    const double width = m_tools.lineWidth();
    if (m_finished || !selected || !isStrokedTool(selected->type) || selected->lineWidth == width)
        return;
    m_document.update(selected->id, [width](Annotation &record) { record.lineWidth = width; });
}

QVariantList EditorState::selectionHandles() const
{
    const Annotation *selected = m_document.selectedRecord();
    QVariantList list;
    if (!selected || !ShapePaths::isShape(selected->type))
        return list;
    for (const QPointF &handle : ShapeEditing::handles(*selected))
        list.append(m_viewport.canvasToView(handle));
    return list;
}

QRectF EditorState::selectionFrame() const
{
    const Annotation *selected = m_document.selectedRecord();
    const QRectF frame = selected ? ShapeEditing::strokeFrame(*selected) : QRectF();
    if (frame.isNull())
        return {};
    return QRectF(m_viewport.canvasToView(frame.topLeft()),
                  m_viewport.canvasToView(frame.bottomRight()));
}

void EditorState::releaseKeyFocusLater()
{
    QMetaObject::invokeMethod(
        this, [this] { Q_EMIT keyFocusReleaseRequested(); }, Qt::QueuedConnection);
}

void EditorState::pressCanvas(QPointF v)
{
    if (m_finished) {
        m_pointer.end(); // a press that never saw its release
        return;
    }
    m_pointer.press(v);
}

void EditorState::moveCanvas(QPointF v, bool constrained)
{
    m_pointer.move(v, constrained);
}

void EditorState::releaseCanvas(QPointF v)
{
    if (m_pointer.release(v))
        click(v);
}

void EditorState::cancelCanvasPress()
{
    m_pointer.end();
}

void EditorState::click(QPointF v)
{
    if (m_finished)
        return;
    releaseKeyFocusLater();
    m_pointer.click(v);
}

void EditorState::handleEscape(bool textFieldHasKeyboard)
{
    if (textFieldHasKeyboard) {
        Q_EMIT textEditingCancelled();
        Q_EMIT keyFocusReleaseRequested();
        QMetaObject::invokeMethod(
            this, [this] { m_document.removeBlankTexts(); }, Qt::QueuedConnection);
        return;
    }
    if (m_session)
        m_session->close();
}

bool EditorState::viewTakesPress(const QString &id, QPointF canvasPoint) const
{
    const std::optional<QUuid> uuid = uuidFrom(id);
    const double scale = m_viewport.canvasScale();
    if (!uuid || !(scale > 0) || !std::isfinite(canvasPoint.x()) || !std::isfinite(canvasPoint.y()))
        return false;
    const QList<Annotation> &records = m_document.list();
    const ShapeEditing::Press pressed =
        ShapeEditing::pressAt(records, m_document.selection(), canvasPoint,
                              SelectGesture::hitSlack / scale, SelectGesture::handleSlack / scale);
    return pressed.row && !pressed.handle && records.at(*pressed.row).id == *uuid;
}

void EditorState::selectAnnotation(const QString &id)
{
    if (!m_tools.isPointerMode())
        return;
    const std::optional<QUuid> uuid = uuidFrom(id);
    const Annotation *record = uuid ? m_document.find(*uuid) : nullptr;
    // Only text and images have views that can be picked; shapes are never selected.
    if (!record || ShapePaths::isShape(record->type))
        return;
    const QColor color = record->color;
    m_document.select(uuid);
    if (!m_finished)
        m_tools.setColor(color);
}

void EditorState::deselectAnnotation(const QString &id)
{
    const std::optional<QUuid> uuid = uuidFrom(id);
    if (!uuid)
        return;
    if (m_document.isSelected(*uuid))
        m_document.select(std::nullopt);
    m_document.endTextSession();
    const QUuid target = *uuid;
    QMetaObject::invokeMethod(
        this, [this, target] { m_document.removeIfBlankText(target); }, Qt::QueuedConnection);
}

void EditorState::undo()
{
    if (!m_finished)
        m_document.undo();
}

void EditorState::redo()
{
    if (!m_finished)
        m_document.redo();
}

void EditorState::deleteSelected()
{
    const Annotation *selected = m_document.selectedRecord();
    if (m_finished || !selected)
        return;
    m_document.remove(selected->id);
    m_document.select(std::nullopt);
}

void EditorState::clear()
{
    if (!m_finished)
        m_document.clear();
}

void EditorState::revertToOriginal()
{
    if (canRevert())
        m_document.revert();
}

void EditorState::cancel()
{
    if (!m_session)
        return;
    m_cancelled = true;
    if (!m_finished)
        m_session->keepDraft(nullptr);
    m_session->close();
}

bool EditorState::saveRenderedImage()
{
    if (m_finished || !m_session)
        return false;
    // Whatever would keep the picture from being made is found here, before anything
    // changes; the stack draws it off the UI thread.
    const QImage &original = m_session->image();
    const Result<ExportRenderer::Canvas> canvas =
        ExportRenderer::check(original.size(), original.devicePixelRatio(), m_viewport.viewSize(),
                              m_document.list(), m_document.crop());
    if (!canvas.ok()) {
        Log::line(canvas.error());
        return false;
    }
    const SavedEdits::Content now = content();
    const auto reuse = [this](const Annotation &record) { return reusableImage(record); };
    std::shared_ptr<const SavedEdits> edits = m_session->savedEdits();
    if (!edits || !edits->holds(now, reuse))
        edits = now.isEmpty() ? nullptr : SavedEdits::make(now, m_session->store(), reuse);
    if (!m_session->saveEdits(edits)) {
        Log::line(QStringLiteral("Edits not saved: the capture is no longer on the stack."));
        return false;
    }
    // The editor's work is in the stack; it takes nothing more on its way out.
    m_finished = true;
    Q_EMIT finishedChanged();
    Q_EMIT canRevertChanged();
    m_pointer.end();
    m_session->finish();
    return true;
}

std::optional<QImage> EditorState::renderedImage() const
{
    const Result<QImage> picture = ExportRenderer::render(m_session->image(), m_viewport.viewSize(),
                                                          m_document.list(), m_document.crop());
    if (!picture.ok()) {
        Log::line(picture.error());
        return std::nullopt;
    }
    return picture.value();
}

bool EditorState::copyRenderedImage()
{
    if (m_finished || !m_session || !m_session->clipboardCopy())
        return false;
    const std::optional<QImage> picture = renderedImage();
    return picture && m_session->clipboardCopy()->copyImage(*picture);
}

bool EditorState::copyText()
{
    if (m_finished || !m_session || !m_session->textCopy())
        return false;
    std::optional<QRectF> area = m_document.crop();
    if (m_textRegion)
        area = area ? area->intersected(*m_textRegion) : *m_textRegion;
    const Result<QImage> picture =
        ExportRenderer::render(m_session->image(), m_viewport.viewSize(), m_document.list(), area);
    if (!picture.ok()) {
        Log::line(QStringLiteral("Copy Text failed: the region holds none of the picture."));
        return false;
    }
    m_session->textCopy()->copyTextOfImage(picture.value());
    return true;
}

bool EditorState::saveRenderedImageToFile()
{
    if (m_finished || !m_session || !m_session->captureSaver())
        return false;
    const std::optional<QImage> picture = renderedImage();
    if (!picture)
        return false;
    m_session->captureSaver()->saveImage(*picture);
    return true;
}

void EditorState::saveRenderedImageAs()
{
    if (m_finished || !m_session || !m_session->captureSaver() || !m_session->fileChooser())
        return;
    CaptureSaver *saver = m_session->captureSaver();
    // The picture is rendered once the path is known, with the edits of that moment.
    m_session->fileChooser()->chooseSaveFile(
        m_session->window(), this, saver->suggestedPath(), [this, saver](const QUrl &file) {
            if (m_finished)
                return;
            if (const std::optional<QImage> picture = renderedImage())
                saver->saveImage(*picture, file.toLocalFile());
        });
}

void EditorState::openImagePicker()
{
    if (m_finished || !m_session || !m_session->fileChooser())
        return;
    m_session->fileChooser()->chooseImage(m_session->window(), this, [this](const QUrl &file) {
        ImageIntake::loadInBackground(
            {{file, {}, {}}}, this,
            [this](const ImageIntake::Decoded &picture) { addDroppedImage(picture); });
    });
}

void EditorState::pasteImage()
{
    if (m_finished || !m_session || !m_session->clipboard())
        return;
    const QMimeData *held = m_session->clipboard()->mimeData();
    const QList<ImageIntake::Source> sources =
        held ? ImageIntake::sourcesOf(*held) : QList<ImageIntake::Source>();
    if (sources.isEmpty())
        return;
    ImageIntake::loadInBackground(
        sources, this, [this](const ImageIntake::Decoded &picture) { addDroppedImage(picture); });
}

void EditorState::addDroppedImage(const ImageIntake::Decoded &picture)
{
    insertImage(picture, m_viewport.canvasCentre(QPointF(200, 200)), QColor(255, 0, 0));
}

void EditorState::dropImage(const QList<ImageIntake::Source> &sources, QPointF v)
{
    if (m_finished || sources.isEmpty())
        return;
    ImageIntake::loadInBackground(sources, this, [this, v](const ImageIntake::Decoded &picture) {
        insertImage(picture, m_viewport.viewToCanvas(v), m_tools.color());
    });
}

void EditorState::insertImage(const ImageIntake::Decoded &picture, QPointF centre,
                              const QColor &color)
{
    if (m_finished || !std::isfinite(centre.x()) || !std::isfinite(centre.y()))
        return;
    // Switching to Select clears the selection: a new image stays selected only when
    // Select already was the tool.
    const bool keepSelected = m_tools.isPointerMode();
    m_tools.setCurrentTool(DrawingTool::Pointer);
    Annotation record = Annotation::create(DrawingTool::DroppedImage, centre, color);
    record.imagePayload = picture.image;
    m_document.addImage(record, picture.display);
    if (keepSelected)
        m_document.select(record.id);
}
