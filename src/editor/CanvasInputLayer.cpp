#include "CanvasInputLayer.h"

#include "EditorEventFilter.h"
#include "EditorState.h"

#include <QNativeGestureEvent>
#include <QQuickWindow>

#include <cmath>

CanvasInputLayer::CanvasInputLayer(QQuickItem *parent) : EditorCanvasItem(parent)
{
    setAcceptedMouseButtons(Qt::LeftButton);
}

CanvasInputLayer::~CanvasInputLayer() = default;

void CanvasInputLayer::editorReplaced(EditorState *)
{
    if (editor())
        editor()->viewport()->setAreaSize(size());
    updateWatch();
}

void CanvasInputLayer::geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry)
{
    QQuickItem::geometryChange(newGeometry, oldGeometry);
    if (editor() && newGeometry.size() != oldGeometry.size())
        editor()->viewport()->setAreaSize(newGeometry.size());
}

void CanvasInputLayer::itemChange(ItemChange change, const ItemChangeData &value)
{
    QQuickItem::itemChange(change, value);
    if (change == ItemSceneChange) {
        if (m_watchedWindow)
            disconnect(m_watchedWindow, nullptr, this, nullptr);
        m_watchedWindow = value.window;
        if (m_watchedWindow)
            connect(m_watchedWindow, &QWindow::visibleChanged, this,
                    &CanvasInputLayer::updateWatch);
        updateWatch();
    }
}

void CanvasInputLayer::updateWatch()
{
    const bool shown = editor() && m_watchedWindow && m_watchedWindow->isVisible();
    if (shown && !m_filter)
        m_filter = std::make_unique<EditorEventFilter>(editor(), m_watchedWindow);
    else if (!shown)
        m_filter.reset();
}

void CanvasInputLayer::mousePressEvent(QMouseEvent *event)
{
    if (!editor()) {
        event->ignore();
        return;
    }
    m_pressed = true;
    m_markingTextRegion =
        (event->modifiers() & Qt::ShiftModifier) && editor()->pressTextRegion(event->position());
    if (!m_markingTextRegion)
        editor()->pressCanvas(event->position());
    event->accept();
}

void CanvasInputLayer::mouseMoveEvent(QMouseEvent *event)
{
    if (m_pressed && editor() && m_markingTextRegion)
        editor()->moveTextRegion(event->position());
    else if (m_pressed && editor())
        editor()->moveCanvas(event->position(), event->modifiers() & Qt::ShiftModifier);
}

void CanvasInputLayer::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_pressed)
        return;
    m_pressed = false;
    if (editor() && m_markingTextRegion)
        editor()->releaseTextRegion(event->position());
    else if (editor())
        editor()->releaseCanvas(event->position());
    m_markingTextRegion = false;
}

void CanvasInputLayer::mouseUngrabEvent()
{
    if (!m_pressed)
        return;
    m_pressed = false;
    if (editor() && !m_markingTextRegion)
        editor()->cancelCanvasPress();
    m_markingTextRegion = false;
}

bool CanvasInputLayer::event(QEvent *event)
{
    if (event->type() != QEvent::NativeGesture || !editor())
        return QQuickItem::event(event);
    auto *gesture = static_cast<QNativeGestureEvent *>(event);
    switch (gesture->gestureType()) {
    case Qt::BeginNativeGesture:
        m_pinchMagnification = 1;
        m_pinching = false;
        break;
    case Qt::ZoomNativeGesture:
        m_pinchMagnification *= 1 + gesture->value();
        // Like a pinch that must change the scale by 0.01 before it counts.
        if (!m_pinching && std::abs(m_pinchMagnification - 1) >= 0.01)
            m_pinching = true;
        if (m_pinching)
            editor()->viewport()->pinchChanged(m_pinchMagnification);
        break;
    case Qt::EndNativeGesture:
        if (m_pinching)
            editor()->viewport()->pinchEnded();
        m_pinchMagnification = 1;
        m_pinching = false;
        break;
    default:
        return QQuickItem::event(event);
    }
    event->accept();
    return true;
}
