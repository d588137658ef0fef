#include "RegionSelection.h"

#include <QPainter>

#include <cmath>

namespace {

QPoint pixelOf(QPointF point)
{
    return QPoint(int(std::floor(point.x())), int(std::floor(point.y())));
}

} // namespace

RegionSelection::RegionSelection(DesktopGeometry desktop, DesktopPicture picture,
                                 QList<QRect> windows, QObject *parent)
    : QObject(parent), m_desktop(std::move(desktop)), m_picture(std::move(picture)),
      m_windows(std::move(windows))
{}

QString RegionSelection::sizeText() const
{
    if (m_selection.isEmpty())
        return QString();
    qreal scale = 1;
    for (const DesktopGeometry::Piece &piece : m_desktop.pieces(m_selection))
        scale = qMax(scale, m_desktop.screens()[piece.screen].ratio);
    return QStringLiteral("%1 \u00d7 %2")
        .arg(qRound(m_selection.width() * scale))
        .arg(qRound(m_selection.height() * scale));
}

QString RegionSelection::colourName() const
{
    const QColor colour = m_picture.colourAt(m_pointer);
    return colour.isValid() ? colour.name(QColor::HexRgb).toUpper() : QString();
}

RegionSelection::Grip RegionSelection::gripAt(QPointF point) const
{
    if (m_selection.isEmpty())
        return Grip::None;
    const QRectF r(m_selection);
    const QRectF outer = r.adjusted(-GripMargin, -GripMargin, GripMargin, GripMargin);
    if (!outer.contains(point))
        return Grip::None;
    const bool left = std::abs(point.x() - r.left()) <= GripMargin;
    const bool right = std::abs(point.x() - (r.left() + r.width())) <= GripMargin;
    const bool top = std::abs(point.y() - r.top()) <= GripMargin;
    const bool bottom = std::abs(point.y() - (r.top() + r.height())) <= GripMargin;
    if (top && left)
        return Grip::TopLeft;
    if (top && right)
        return Grip::TopRight;
    if (bottom && left)
        return Grip::BottomLeft;
    if (bottom && right)
        return Grip::BottomRight;
    if (left)
        return Grip::Left;
    if (right)
        return Grip::Right;
    if (top)
        return Grip::Top;
    if (bottom)
        return Grip::Bottom;
    return r.contains(point) ? Grip::Inside : Grip::None;
}

QRect RegionSelection::clamped(const QRect &rect) const
{
    return rect.normalized() & m_desktop.bounds();
}

void RegionSelection::setSelection(const QRect &selection)
{
    const QRect next = clamped(selection);
    if (next == m_selection)
        return;
    m_selection = next;
    Q_EMIT selectionChanged();
}

void RegionSelection::setPointer(QPointF point)
{
    m_pointer = point;
    QRect hovered;
    for (const QRect &window : std::as_const(m_windows)) {
        if (QRectF(window).contains(point)) {
            hovered = window & m_desktop.bounds();
            break;
        }
    }
    if (hovered != m_hoveredWindow) {
        m_hoveredWindow = hovered;
        Q_EMIT hoveredWindowChanged();
    }
    // The magnifier's pixels: the part under the pointer, nearest-neighbour, at its density.
    QImage patch(2 * PatchRadius + 1, 2 * PatchRadius + 1, QImage::Format_RGB32);
    patch.fill(Qt::black);
    for (const DesktopPicture::Part &part : std::as_const(m_picture.parts)) {
        if (!QRectF(part.logical).contains(point) || part.logical.width() <= 0)
            continue;
        const qreal density = qreal(part.image.width()) / part.logical.width();
        const QPoint centre = pixelOf((point - QPointF(part.logical.topLeft())) * density);
        const QRect source(centre - QPoint(PatchRadius, PatchRadius), patch.size());
        QPainter painter(&patch);
        painter.drawImage(QPoint(0, 0), part.image, source);
        break;
    }
    m_patch = patch;
    Q_EMIT pointerChanged();
}

void RegionSelection::setDragging(bool dragging)
{
    if (m_dragging == dragging)
        return;
    m_dragging = dragging;
    Q_EMIT draggingChanged();
}

void RegionSelection::press(QPointF point)
{
    setPointer(point);
    m_pressed = true;
    m_pressPoint = pixelOf(point);
    m_pressSelection = m_selection;
    m_grip = gripAt(point);
}

void RegionSelection::move(QPointF point)
{
    setPointer(point);
    if (!m_pressed)
        return;
    const QPoint at = pixelOf(point);
    const QPoint delta = at - m_pressPoint;
    if (!m_dragging && std::abs(delta.x()) < DragThreshold && std::abs(delta.y()) < DragThreshold)
        return;
    setDragging(true);

    QRect r = m_pressSelection;
    switch (m_grip) {
    case Grip::None: {
        // A new selection from the press to the pointer, both pixels included.
        const QPoint from = m_pressPoint;
        setSelection(QRect(QPoint(qMin(from.x(), at.x()), qMin(from.y(), at.y())),
                           QPoint(qMax(from.x(), at.x()), qMax(from.y(), at.y()))));
        return;
    }
    case Grip::Inside: {
        // Moved whole, stopping at the desktop's edges rather than shrinking there.
        const QRect bounds = m_desktop.bounds();
        QPoint topLeft = r.topLeft() + delta;
        topLeft.setX(
            qBound(bounds.left(), topLeft.x(), bounds.left() + bounds.width() - r.width()));
        topLeft.setY(
            qBound(bounds.top(), topLeft.y(), bounds.top() + bounds.height() - r.height()));
        r.moveTopLeft(topLeft);
        setSelection(r);
        return;
    }
    case Grip::Left:
    case Grip::TopLeft:
    case Grip::BottomLeft:
        r.setLeft(qMin(r.left() + delta.x(), r.right()));
        break;
    case Grip::Right:
    case Grip::TopRight:
    case Grip::BottomRight:
        r.setRight(qMax(r.right() + delta.x(), r.left()));
        break;
    default:
        break;
    }
    switch (m_grip) {
    case Grip::Top:
    case Grip::TopLeft:
    case Grip::TopRight:
        r.setTop(qMin(r.top() + delta.y(), r.bottom()));
        break;
    case Grip::Bottom:
    case Grip::BottomLeft:
    case Grip::BottomRight:
        r.setBottom(qMax(r.bottom() + delta.y(), r.top()));
        break;
    default:
        break;
    }
    setSelection(r);
}

void RegionSelection::release(QPointF point)
{
    move(point);
    const bool clicked = m_pressed && !m_dragging;
    m_pressed = false;
    setDragging(false);
    // A click off the selection takes the window under it, where windows can be seen.
    if (clicked && m_grip == Grip::None && !m_hoveredWindow.isEmpty())
        setSelection(m_hoveredWindow);
}

void RegionSelection::doubleClick(QPointF point)
{
    setPointer(point);
    if (hasSelection())
        accept();
}

bool RegionSelection::key(int key, int modifiers)
{
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        accept();
        return true;
    case Qt::Key_Escape:
        cancel();
        return true;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        break;
    default:
        return false;
    }
    if (!hasSelection())
        return true;
    const int step = (modifiers & Qt::ShiftModifier) ? 10 : 1;
    const int dx = key == Qt::Key_Left ? -step : key == Qt::Key_Right ? step : 0;
    const int dy = key == Qt::Key_Up ? -step : key == Qt::Key_Down ? step : 0;
    QRect r = m_selection;
    if (modifiers & Qt::AltModifier) {
        // The right and bottom edges move; the selection keeps at least one pixel.
        r.setWidth(qMax(1, r.width() + dx));
        r.setHeight(qMax(1, r.height() + dy));
        setSelection(r);
        return true;
    }
    const QRect bounds = m_desktop.bounds();
    r.moveTo(qBound(bounds.left(), r.x() + dx, bounds.left() + bounds.width() - r.width()),
             qBound(bounds.top(), r.y() + dy, bounds.top() + bounds.height() - r.height()));
    setSelection(r);
    return true;
}

void RegionSelection::accept()
{
    if (m_finished || !hasSelection())
        return;
    m_finished = true;
    Q_EMIT accepted(m_selection);
}

void RegionSelection::cancel()
{
    if (m_finished)
        return;
    m_finished = true;
    Q_EMIT cancelled();
}
