#include "EditorState.h"

#include "EditorSession.h"
#include "ExportRenderer.h"
#include "ShapePaths.h"
#include "platform/Clipboard.h"
#include "platform/FileChooser.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "shortcuts/ShortcutMatcher.h"

#include <QGuiApplication>
#include <QMimeData>
#include <QQuickItem>
#include <QQuickWindow>
#include <QStyleHints>

#include <cmath>

namespace {

bool isFinite(QSizeF size)
{
    return std::isfinite(size.width()) && std::isfinite(size.height());
}

std::optional<QUuid> uuidFrom(const QString &text)
{
    const QUuid id = QUuid::fromString(text);
    if (id.isNull())
        return std::nullopt;
    return id;
}

} // namespace

EditorState::EditorState(QObject *parent)
    : QObject(parent),
      m_colorPresets({QColor(255, 0, 0), QColor(0, 0, 255), QColor(0, 255, 0), QColor(255, 255, 0),
                      QColor(0, 0, 0), QColor(255, 255, 255)}),
      m_selectedColor(m_colorPresets.first())
{}

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
    if (m_session)
        connect(m_session, &EditorSession::imageChanged, this, &EditorState::layOut);
    layOut();
    Q_EMIT sessionChanged();
}

void EditorState::setPreferences(Preferences *preferences)
{
    if (m_preferences == preferences)
        return;
    if (m_preferences)
        disconnect(m_preferences, nullptr, this, nullptr);
    m_preferences = preferences;
    if (m_preferences) {
        connect(m_preferences, &Preferences::shortcutPointerChanged, this,
                &EditorState::pointerKeyChanged);
        connect(m_preferences, &Preferences::shortcutTextChanged, this,
                &EditorState::textKeyChanged);
        connect(m_preferences, &Preferences::shortcutPenChanged, this, &EditorState::penKeyChanged);
        connect(m_preferences, &Preferences::shortcutRectangleChanged, this,
                &EditorState::rectangleKeyChanged);
        connect(m_preferences, &Preferences::shortcutLineChanged, this,
                &EditorState::lineKeyChanged);
        connect(m_preferences, &Preferences::shortcutArrowChanged, this,
                &EditorState::arrowKeyChanged);
    }
    Q_EMIT preferencesChanged();
    Q_EMIT pointerKeyChanged();
    Q_EMIT textKeyChanged();
    Q_EMIT penKeyChanged();
    Q_EMIT rectangleKeyChanged();
    Q_EMIT lineKeyChanged();
    Q_EMIT arrowKeyChanged();
}

// Without preferences (never in the program), the keys are the stored defaults.
QString EditorState::pointerKey() const
{
    return m_preferences ? m_preferences->shortcutPointer() : QStringLiteral("v");
}

QString EditorState::textKey() const
{
    return m_preferences ? m_preferences->shortcutText() : QStringLiteral("t");
}

QString EditorState::penKey() const
{
    return m_preferences ? m_preferences->shortcutPen() : QStringLiteral("d");
}

QString EditorState::rectangleKey() const
{
    return m_preferences ? m_preferences->shortcutRectangle() : QStringLiteral("r");
}

QString EditorState::lineKey() const
{
    return m_preferences ? m_preferences->shortcutLine() : QStringLiteral("l");
}

QString EditorState::arrowKey() const
{
    return m_preferences ? m_preferences->shortcutArrow() : QStringLiteral("a");
}

void EditorState::setCurrentTool(DrawingTool tool)
{
    if (tool == m_currentTool)
        return;
    // The gesture of the old tool is gone: what it drew is kept as it stands, so the next
    // drag starts a record of its own.
    endDrag();
    m_gesture = Gesture::none;
    m_currentTool = tool;
    Q_EMIT currentToolChanged();
    setSelection(std::nullopt);
    clearKeyFocusLater();
}

void EditorState::setCurrentToolName(const QString &name)
{
    if (const auto tool = drawingToolFromRawValue(name))
        setCurrentTool(*tool);
}

QVariantList EditorState::colorPresetList() const
{
    QVariantList list;
    for (const QColor &color : m_colorPresets)
        list.append(color);
    return list;
}

void EditorState::setActiveColorIndex(int index)
{
    if (index == m_activeColorIndex || index < 0 || index >= m_colorPresets.size())
        return;
    m_activeColorIndex = index;
    Q_EMIT activeColorIndexChanged();
}

void EditorState::setSelectedColor(const QColor &color)
{
    if (color == m_selectedColor || m_finished)
        return;
    m_selectedColor = color;
    Q_EMIT selectedColorChanged();
    // Whatever chose the colour, the active swatch takes it, and so does the selected record.
    if (m_colorPresets.value(m_activeColorIndex) != color) {
        m_colorPresets[m_activeColorIndex] = color;
        Q_EMIT colorPresetsChanged();
    }
    if (m_selectedAnnotationID)
        m_annotations.update(*m_selectedAnnotationID,
                             [&color](Annotation &record) { record.color = color; });
}

void EditorState::setTextHasBackground(bool on)
{
    if (on == m_textHasBackground)
        return;
    m_textHasBackground = on;
    Q_EMIT textHasBackgroundChanged();
}

void EditorState::setSelectedFont(const QString &family)
{
    if (family == m_selectedFont)
        return;
    m_selectedFont = family;
    Q_EMIT selectedFontChanged();
}

void EditorState::setSelectedFontSize(double size)
{
    if (size == m_selectedFontSize || !std::isfinite(size))
        return;
    m_selectedFontSize = size;
    Q_EMIT selectedFontSizeChanged();
}

QString EditorState::selectedAnnotationIdString() const
{
    return m_selectedAnnotationID ? m_selectedAnnotationID->toString(QUuid::WithoutBraces)
                                  : QString();
}

void EditorState::setSelection(std::optional<QUuid> id)
{
    if (id == m_selectedAnnotationID)
        return;
    m_selectedAnnotationID = id;
    Q_EMIT selectedAnnotationIdChanged();
}

QSizeF EditorState::captureSize() const
{
    if (!m_session || m_session->image().isNull())
        return {0, 0};
    return m_session->image().deviceIndependentSize();
}

CanvasGeometry::View EditorState::canvasView() const
{
    return CanvasGeometry::makeView(m_area, captureSize(), m_viewSize, m_zoomScale, m_panOffset);
}

QPointF EditorState::canvasOrigin() const
{
    return CanvasGeometry::canvasToView(QPointF(0, 0), canvasView());
}

void EditorState::setCanvasAreaSize(QSizeF area)
{
    if (area == m_area)
        return;
    m_area = area;
    layOut();
}

void EditorState::layOut()
{
    const QSizeF fitted = CanvasGeometry::fittedSize(m_area, captureSize());
    if (!fitted.isEmpty()) {
        // Canvas space is fixed by the first layout; later ones only stretch it onto the
        // new fit (CanvasGeometry), so annotations stay on their pixels.
        if (m_viewSize.isEmpty()) {
            m_viewSize = fitted;
            Q_EMIT viewSizeChanged();
        }
        const QSizeF offset = CanvasGeometry::margins(m_area, fitted);
        if (offset != m_imageOffset) {
            m_imageOffset = offset;
            Q_EMIT imageOffsetChanged();
        }
    }
    Q_EMIT canvasPlacementChanged();
}

void EditorState::setWindow(QQuickWindow *window)
{
    m_window = window;
}

QPointF EditorState::viewToCanvas(QPointF v) const
{
    return CanvasGeometry::viewToCanvas(v, canvasView());
}

QPointF EditorState::canvasToView(QPointF c) const
{
    return CanvasGeometry::canvasToView(c, canvasView());
}

void EditorState::pressCanvas(QPointF v)
{
    endDrag(); // a press that never saw its release
    if (m_finished)
        return;
    m_pressPosition = v;
    m_pressMoved = false;
    if (isDrawingTool(m_currentTool)) {
        m_gesture = Gesture::draw;
        drawingChanged(v);
    } else if (m_currentTool == DrawingTool::pan) {
        m_gesture = Gesture::pan;
        panChanged({});
    } else {
        m_gesture = Gesture::click;
    }
}

void EditorState::moveCanvas(QPointF v)
{
    if (m_gesture == Gesture::none)
        return;
    const QPointF travel = v - m_pressPosition;
    if (travel.manhattanLength() >= QGuiApplication::styleHints()->startDragDistance())
        m_pressMoved = true;
    if (m_gesture == Gesture::draw)
        drawingChanged(v);
    else if (m_gesture == Gesture::pan)
        panChanged(QSizeF(travel.x(), travel.y()));
}

void EditorState::releaseCanvas(QPointF v)
{
    if (m_gesture == Gesture::none)
        return;
    const bool isClick = !m_pressMoved;
    endDrag();
    m_gesture = Gesture::none;
    if (isClick)
        click(v);
}

void EditorState::cancelCanvasPress()
{
    endDrag();
    m_gesture = Gesture::none;
}

void EditorState::endDrag()
{
    if (m_gesture == Gesture::draw)
        drawingEnded();
    else if (m_gesture == Gesture::pan)
        panEnded();
}

void EditorState::click(QPointF v)
{
    if (m_finished)
        return;
    clearKeyFocusLater();
    // A selection that names a record no longer in the list (undone, cleared) selects
    // nothing, so it must not swallow the click that places a new text.
    const bool hasSelection =
        m_selectedAnnotationID && m_annotations.contains(*m_selectedAnnotationID);
    if (m_currentTool == DrawingTool::text && !hasSelection) {
        const QPointF c = viewToCanvas(v);
        const Annotation text =
            Annotation::createText(c - QPointF(8, 22), m_selectedColor, m_textHasBackground,
                                   m_selectedFont, m_selectedFontSize);
        m_annotations.append(text);
        setSelection(text.id);
        return;
    }
    setSelection(std::nullopt);
    removeBlankTexts();
}

void EditorState::drawingChanged(QPointF v)
{
    const QPointF p = viewToCanvas(v);
    if (!std::isfinite(p.x()) || !std::isfinite(p.y()))
        return;
    if (!m_currentAnnotation)
        m_currentAnnotation = Annotation::create(m_currentTool, p, m_selectedColor);
    else
        m_currentAnnotation->points.append(p);
    Q_EMIT currentAnnotationChanged();
}

void EditorState::drawingEnded()
{
    if (!m_currentAnnotation)
        return;
    const Annotation finished = *m_currentAnnotation;
    m_currentAnnotation.reset();
    m_annotations.append(finished);
    Q_EMIT currentAnnotationChanged();
}

void EditorState::panChanged(QSizeF translation)
{
    const QSizeF pan = m_basePan + translation;
    if (isFinite(pan))
        setPanOffset(pan);
}

void EditorState::panEnded()
{
    setBasePan(m_panOffset);
}

void EditorState::pinchChanged(double magnification)
{
    const double zoom = std::max(m_baseZoom * magnification, minimumZoom);
    if (!std::isfinite(zoom))
        return;
    const double k = zoom / m_zoomScale;
    const QSizeF pan = m_panOffset * k;
    // A step that would leave the finite numbers is refused: past it nothing could be
    // shown or undone.
    if (!std::isfinite(k) || !isFinite(pan))
        return;
    setPanOffset(pan);
    setBasePan(pan);
    setZoomScale(zoom);
}

void EditorState::pinchEnded()
{
    setBaseZoom(m_zoomScale);
    setBasePan(m_panOffset);
}

void EditorState::pinchStep(double magnification)
{
    pinchChanged(magnification);
    pinchEnded();
}

void EditorState::wheelPan(QSizeF delta)
{
    const QSizeF pan = m_panOffset + delta;
    if (!isFinite(pan))
        return;
    setPanOffset(pan);
    setBasePan(pan);
}

void EditorState::setZoomScale(double zoom)
{
    if (zoom == m_zoomScale)
        return;
    m_zoomScale = zoom;
    Q_EMIT zoomScaleChanged();
    Q_EMIT canvasPlacementChanged();
}

void EditorState::setBaseZoom(double zoom)
{
    if (zoom == m_baseZoom)
        return;
    m_baseZoom = zoom;
    Q_EMIT baseZoomChanged();
}

void EditorState::setPanOffset(QSizeF pan)
{
    if (pan == m_panOffset)
        return;
    m_panOffset = pan;
    Q_EMIT panOffsetChanged();
    Q_EMIT canvasPlacementChanged();
}

void EditorState::setBasePan(QSizeF pan)
{
    if (pan == m_basePan)
        return;
    m_basePan = pan;
    Q_EMIT basePanChanged();
}

bool EditorState::focusIsTextEditor() const
{
    return ShortcutKeyPress::isTextField(m_window ? m_window->activeFocusItem() : nullptr);
}

void EditorState::clearKeyFocus()
{
    if (!m_window)
        return;
    // Focus scopes hand active focus back to their focused child, so every scope on the way
    // up lets go as well; the window itself is left holding the keyboard.
    for (QQuickItem *item = m_window->activeFocusItem(); item && item != m_window->contentItem();
         item = item->parentItem()) {
        if (item->hasFocus())
            item->setFocus(false);
    }
}

void EditorState::clearKeyFocusLater()
{
    QMetaObject::invokeMethod(this, &EditorState::clearKeyFocus, Qt::QueuedConnection);
}

void EditorState::handleEscape()
{
    if (focusIsTextEditor()) {
        Q_EMIT textEditingCancelled();
        clearKeyFocus();
        QMetaObject::invokeMethod(this, &EditorState::removeBlankTexts, Qt::QueuedConnection);
        return;
    }
    if (m_session)
        m_session->close();
}

void EditorState::selectAnnotation(const QString &id)
{
    if (m_currentTool != DrawingTool::pointer)
        return;
    const std::optional<QUuid> uuid = uuidFrom(id);
    const int row = uuid ? m_annotations.indexOf(*uuid) : -1;
    // Only text and images have views that can be picked; shapes are never selected.
    if (row < 0 || ShapePaths::isShape(m_annotations.at(row).type))
        return;
    setSelection(uuid);
    setSelectedColor(m_annotations.at(row).color);
}

void EditorState::deselectAnnotation(const QString &id)
{
    const std::optional<QUuid> uuid = uuidFrom(id);
    if (!uuid)
        return;
    if (m_selectedAnnotationID == uuid)
        setSelection(std::nullopt);
    const QUuid target = *uuid;
    QMetaObject::invokeMethod(
        this,
        [this, target] {
            m_annotations.removeIf([&target](const Annotation &record) {
                return record.id == target && isBlank(record.textPayload);
            });
        },
        Qt::QueuedConnection);
}

void EditorState::removeBlankTexts()
{
    m_annotations.removeIf(isBlankText);
}

bool EditorState::textStyleEnabled() const
{
    return m_currentTool == DrawingTool::text || m_currentTool == DrawingTool::pointer;
}

QString EditorState::zoomReadout(double zoom)
{
    // Toward zero, and formatted from the double itself: the zoom has no upper limit, so it
    // may not fit any integer type.
    const double percent = std::trunc(zoom * 100);
    return QStringLiteral("Zoom: %1%").arg(std::isfinite(percent) ? percent : 0.0, 0, 'f', 0);
}

void EditorState::chooseSwatch(int index)
{
    if (m_finished || index < 0 || index >= m_colorPresets.size())
        return;
    setActiveColorIndex(index);
    setSelectedColor(m_colorPresets.at(index));
}

void EditorState::undo()
{
    if (!m_finished)
        m_annotations.removeLast();
}

void EditorState::clear()
{
    if (!m_finished)
        m_annotations.clear();
}

void EditorState::cancel()
{
    if (m_session)
        m_session->close();
}

bool EditorState::saveRenderedImage()
{
    if (m_finished || !m_session)
        return false;
    const Result<QImage> picture =
        ExportRenderer::render(m_session->image(), m_viewSize, m_annotations.records());
    if (!picture.ok()) {
        Log::line(picture.error());
        return false;
    }
    if (!m_session->saveImage(picture.value())) {
        Log::line(QStringLiteral("Edits not saved: the capture is no longer on the stack."));
        return false;
    }
    // The capture is the flattened picture now: a second save would draw the annotations
    // onto it again. The window goes at once; it is closed on the next turn.
    m_finished = true;
    Q_EMIT finishedChanged();
    m_gesture = Gesture::none;
    if (m_window)
        m_window->hide();
    m_session->close();
    return true;
}

void EditorState::openImagePicker()
{
    if (m_finished || !m_session || !m_session->fileChooser())
        return;
    m_session->fileChooser()->chooseImage(m_window, this, [this](const QUrl &file) {
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
    // Only the width tells whether the canvas has been laid out.
    const QPointF centre = m_viewSize.width() > 0
                               ? QPointF(m_viewSize.width() * 0.5, m_viewSize.height() * 0.5)
                               : QPointF(200, 200);
    insertImage(picture, centre, QColor(255, 0, 0));
}

void EditorState::dropImage(const QList<ImageIntake::Source> &sources, QPointF v)
{
    if (m_finished || sources.isEmpty())
        return;
    ImageIntake::loadInBackground(sources, this, [this, v](const ImageIntake::Decoded &picture) {
        insertImage(picture, viewToCanvas(v), m_selectedColor);
    });
}

void EditorState::insertImage(const ImageIntake::Decoded &picture, QPointF centre,
                              const QColor &color)
{
    if (m_finished || !std::isfinite(centre.x()) || !std::isfinite(centre.y()))
        return;
    // Switching to Select clears the selection, and that reaction comes after the whole
    // insertion: a new image stays selected only when Select already was the tool.
    const bool keepSelected = m_currentTool == DrawingTool::pointer;
    setCurrentTool(DrawingTool::pointer);
    Annotation record = Annotation::create(DrawingTool::droppedImage, centre, color);
    record.imagePayload = picture.image;
    m_annotations.appendImage(record, picture.display);
    if (keepSelected)
        setSelection(record.id);
}
