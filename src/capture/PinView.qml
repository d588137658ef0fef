import QtQuick
import Orrinvale

// A pinned capture: the picture filling its window. Dragging moves the window (with Alt
// held it drags the capture out instead), the wheel zooms, Ctrl+wheel sets the opacity, a
// double click or Escape closes it, a right click opens its menu. All of it goes to the
// PinState; the window follows its size and opacity.
Item {
    id: root
    required property PinState pin

    focus: true
    Keys.onEscapePressed: root.pin.close()

    ImageItem {
        anchors.fill: parent
        image: root.pin.image
        smooth: true
    }

    DragHandler {
        target: null
        onActiveChanged: {
            if (!active)
                return
            if (centroid.modifiers & Qt.AltModifier)
                root.pin.dragOut()
            else
                root.Window.window.startSystemMove()
        }
    }
    WheelHandler {
        target: null
        acceptedModifiers: Qt.KeyboardModifierMask
        onWheel: (event) => root.pin.wheel(event.angleDelta,
                                           (event.modifiers & Qt.ControlModifier) !== 0)
    }
    TapHandler {
        onDoubleTapped: root.pin.close()
    }
    TapHandler {
        acceptedButtons: Qt.RightButton
        onTapped: root.pin.showMenu()
    }
}
