#include "TextBoxController.h"

#include "TextMetrics.h"
#include "editor/EditorState.h"
#include "platform/QtClock.h"
#include "text/ContrastingTextColor.h"

#include <QElapsedTimer>

#include <cmath>

namespace {

qint64 monotonicMs()
{
    static QElapsedTimer timer;
    if (!timer.isValid())
        timer.start();
    return timer.elapsed();
}

} // namespace

TextBoxController::TextBoxController(QObject *parent)
    : RecordViewController(parent), m_ownClock(std::make_unique<QtClock>()),
      m_clock(m_ownClock.get()), m_now(monotonicMs)
{
    connect(this, &RecordViewController::editorChanged, this, &TextBoxController::watchTools);
    // The font follows the scale a drag shows.
    connect(this, &RecordViewController::dragScaleChanged, this, [this] {
        Q_EMIT fontChanged();
        updateIdealSize();
    });
    updateIdealSize();
}

TextBoxController::~TextBoxController() = default;

void TextBoxController::setClock(Clock *clock, std::function<qint64()> now)
{
    m_clock = clock;
    m_now = std::move(now);
}

qint64 TextBoxController::now() const
{
    return m_now();
}

void TextBoxController::watchTools()
{
    disconnect(m_toolConnection);
    if (editor())
        m_toolConnection = connect(editor()->tools(), &ToolSettings::currentToolChanged, this,
                                   &TextBoxController::editorToolChanged);
}

void TextBoxController::editorToolChanged()
{
    // A tool key pressed during a drag: the drag belongs to Select, and whether the view
    // still hears its release is up to Qt. Undone here, box and record agree either way.
    if (editor() && !editor()->tools()->isPointerMode()) {
        moveCancelled();
        scaleCancelled();
    }
}

void TextBoxController::setText(const QString &text)
{
    if (m_text == text)
        return;
    m_text = text;
    Q_EMIT textChanged();
    updateIdealSize();
}

void TextBoxController::setFontName(const QString &name)
{
    if (m_fontName == name)
        return;
    m_fontName = name;
    Q_EMIT fontChanged();
    updateIdealSize();
}

void TextBoxController::setFontSize(double size)
{
    if (m_fontSize == size || !std::isfinite(size))
        return;
    m_fontSize = size;
    Q_EMIT fontChanged();
    updateIdealSize();
}

void TextBoxController::setColor(const QColor &color)
{
    if (m_color == color)
        return;
    m_color = color;
    Q_EMIT colorChanged();
}

void TextBoxController::setTextHasBackground(bool on)
{
    if (m_textHasBackground == on)
        return;
    m_textHasBackground = on;
    Q_EMIT colorChanged();
}

void TextBoxController::setZoomScale(double zoom)
{
    if (m_zoomScale == zoom || !(zoom > 0) || !std::isfinite(zoom))
        return;
    m_zoomScale = zoom;
    Q_EMIT zoomScaleChanged();
}

QColor TextBoxController::resolvedTextColor() const
{
    return m_textHasBackground ? contrastingTextColor(m_color) : m_color;
}

QFont TextBoxController::font() const
{
    return TextMetrics::font(m_fontName, m_fontSize * dragScale());
}

QFont TextBoxController::placeholderFont() const
{
    QFont bold = font();
    bold.setBold(true);
    return bold;
}

QSizeF TextBoxController::idealSize() const
{
    return m_idealSize;
}

void TextBoxController::updateIdealSize()
{
    const QSizeF size = TextMetrics::idealSize(font(), m_text);
    if (size == m_idealSize)
        return;
    m_idealSize = size;
    Q_EMIT idealSizeChanged();
}

// The three reactions: each runs only on a change, so they settle after one round.
void TextBoxController::setSelected(bool selected)
{
    if (m_isSelected == selected)
        return;
    m_isSelected = selected;
    Q_EMIT isSelectedChanged();
    if (!selected) {
        // The handle is shown only on a selected box; a scale it was giving goes with it.
        scaleCancelled();
        setTextFieldFocused(false);
        setEditing(false);
        releaseFocusLater();
    }
}

void TextBoxController::setEditing(bool editing)
{
    if (m_isEditing == editing)
        return;
    m_isEditing = editing;
    Q_EMIT isEditingChanged();
    if (editing) {
        // The keyboard is taken when editing starts, never again while it lasts: after
        // Escape has taken it away, a box that still counts as editing must not grab it
        // back, or the next Escape could never close the editor.
        Q_EMIT focusRequested();
        return;
    }
    if (editor())
        editor()->deselectAnnotation(annotationId());
    setTextFieldFocused(false);
}

void TextBoxController::setTextFieldFocused(bool focused)
{
    if (m_isTextFieldFocused == focused)
        return;
    m_isTextFieldFocused = focused;
    Q_EMIT isTextFieldFocusedChanged();
    if (focused) {
        // A new box's delayed request: it is in its window by now.
        if (m_isEditing)
            Q_EMIT focusRequested();
        return;
    }
    setEditing(false);
    releaseFocusLater();
}

void TextBoxController::releaseFocusLater()
{
    // After the current event: the click or key that ended editing is handled first.
    m_clock->after(0, this, [this] { Q_EMIT focusReleaseRequested(); });
}

void TextBoxController::appear()
{
    if (const Annotation *shown = record())
        appear(*shown);
}

void TextBoxController::appear(const Annotation &record)
{
    m_hasPoint = !record.points.isEmpty();
    m_drag.reset(m_hasPoint ? record.points.first() : m_drag.position(),
                 std::isfinite(record.imageScale) ? record.imageScale : m_drag.scale());
    showDrag();
    if (record.textPayload && record.textPayload->isEmpty()) {
        setEditing(true);
        m_clock->after(focusDelayMs, this, [this] { setTextFieldFocused(true); });
    }
}

void TextBoxController::moveChanged(QPointF translation)
{
    if (m_drag.active() == RecordDrag::Kind::Scale)
        return;
    selectRecord();
    if (m_drag.moveBy(translation, m_zoomScale))
        showDrag();
}

void TextBoxController::moveEnded(QPointF translation)
{
    if (m_drag.active() != RecordDrag::Kind::Move)
        return;
    m_drag.moveBy(translation, m_zoomScale);
    m_drag.end(RecordDrag::Kind::Move);
    showDrag();
    if (m_hasPoint) {
        const QPointF pos = m_drag.position();
        writeBack([pos](Annotation &record) {
            if (!record.points.isEmpty())
                record.points[0] = pos;
        });
    }
    if (std::hypot(translation.x(), translation.y()) >= tapSlop)
        return; // a move, not a tap
    const qint64 time = now();
    if (m_lastTapTime && time - *m_lastTapTime < doubleTapMs) {
        setEditing(true);
        setTextFieldFocused(true);
    }
    m_lastTapTime = time;
}

void TextBoxController::moveCancelled()
{
    if (m_drag.cancel(RecordDrag::Kind::Move))
        showDrag();
}

void TextBoxController::scaleChanged(QPointF translation)
{
    if (m_drag.scaleTo(m_drag.startScale() + translation.x() / m_zoomScale / pointsPerScale,
                       minimumScale))
        showDrag();
}

void TextBoxController::scaleEnded(QPointF translation)
{
    if (m_drag.active() != RecordDrag::Kind::Scale)
        return;
    scaleChanged(translation);
    m_drag.end(RecordDrag::Kind::Scale);
    const double scale = m_drag.scale();
    writeBack([scale](Annotation &record) { record.imageScale = scale; });
}

void TextBoxController::scaleCancelled()
{
    if (m_drag.cancel(RecordDrag::Kind::Scale))
        showDrag();
}

void TextBoxController::cancelEditing()
{
    setEditing(false);
    Q_EMIT focusReleaseRequested();
}

void TextBoxController::textEdited(const QString &text)
{
    setText(text);
    writeTextBack(text);
}
