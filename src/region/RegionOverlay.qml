import QtQuick
import Orrinvale

// One screen's part of the region overlay: the frozen picture, dimmed outside the
// selection, a crosshair, the loupe and the size label. Input goes to the shared
// RegionSelection in the desktop's logical pixels.
Item {
    id: root

    required property RegionSelection selection
    required property rect screenRect
    required property var picture

    // The selection and the hovered window in this screen's coordinates.
    readonly property rect local: Qt.rect(selection.selection.x - screenRect.x,
                                          selection.selection.y - screenRect.y,
                                          selection.selection.width, selection.selection.height)
    readonly property point pointer: Qt.point(selection.pointer.x - screenRect.x,
                                              selection.pointer.y - screenRect.y)
    readonly property bool pointerHere: pointer.x >= 0 && pointer.y >= 0
                                        && pointer.x < width && pointer.y < height

    focus: true
    Keys.onPressed: event => { event.accepted = root.selection.key(event.key, event.modifiers) }

    ImageItem {
        anchors.fill: parent
        image: root.picture
    }

    // The dim: everywhere without a selection, else the four bands around it.
    Rectangle {
        anchors.fill: parent
        color: "#80000000"
        visible: !root.selection.hasSelection
    }
    Item {
        anchors.fill: parent
        visible: root.selection.hasSelection
        Rectangle { color: "#80000000"; x: 0; y: 0; width: parent.width; height: Math.max(0, root.local.y) }
        Rectangle {
            color: "#80000000"; x: 0; y: root.local.y + root.local.height
            width: parent.width; height: Math.max(0, parent.height - y)
        }
        Rectangle {
            color: "#80000000"; x: 0; y: root.local.y
            width: Math.max(0, root.local.x); height: root.local.height
        }
        Rectangle {
            color: "#80000000"; x: root.local.x + root.local.width; y: root.local.y
            width: Math.max(0, parent.width - x); height: root.local.height
        }
        Rectangle {
            x: root.local.x - 1; y: root.local.y - 1
            width: root.local.width + 2; height: root.local.height + 2
            color: "transparent"; border.color: "#3d8bfd"; border.width: 1
        }
    }

    // The window under the pointer, while nothing is being dragged.
    Rectangle {
        readonly property rect w: root.selection.hoveredWindow
        visible: w.width > 0 && !root.selection.dragging && !root.selection.hasSelection
        x: w.x - root.screenRect.x; y: w.y - root.screenRect.y
        width: w.width; height: w.height
        color: "#203d8bfd"; border.color: "#3d8bfd"; border.width: 2
    }

    // Crosshair.
    Rectangle {
        visible: root.pointerHere; color: "#c0ffffff"
        x: 0; y: Math.floor(root.pointer.y); width: parent.width; height: 1
    }
    Rectangle {
        visible: root.pointerHere; color: "#c0ffffff"
        x: Math.floor(root.pointer.x); y: 0; width: 1; height: parent.height
    }

    // Size label above the selection (inside when there is no room).
    Rectangle {
        visible: root.selection.hasSelection && root.local.x + root.local.width > 0
                 && root.local.x < root.width && root.local.y + root.local.height > 0
                 && root.local.y < root.height
        x: Math.max(0, Math.min(root.local.x, root.width - width))
        y: root.local.y >= height + 4 ? root.local.y - height - 4 : Math.max(0, root.local.y) + 4
        width: sizeLabel.implicitWidth + 12; height: sizeLabel.implicitHeight + 6
        radius: 3; color: "#d0202020"
        Text { id: sizeLabel; anchors.centerIn: parent; color: "white"; text: root.selection.sizeText }
    }

    // Loupe, beside the pointer and kept on the screen.
    Rectangle {
        visible: root.pointerHere
        width: 136; height: 158; color: "#e0202020"; radius: 4
        x: root.pointer.x + 20 + width <= root.width ? root.pointer.x + 20 : root.pointer.x - 20 - width
        y: root.pointer.y + 20 + height <= root.height ? root.pointer.y + 20 : root.pointer.y - 20 - height
        MagnifierItem {
            x: 8; y: 8; width: 120; height: 120
            image: root.selection.patch
        }
        Text {
            x: 8; y: 132; color: "white"; font.family: "monospace"
            text: root.selection.colourName
        }
    }

    MouseArea {
        anchors.fill: parent
        acceptedButtons: Qt.LeftButton | Qt.RightButton
        hoverEnabled: true
        cursorShape: Qt.CrossCursor
        function at(mouse) { return Qt.point(mouse.x + root.screenRect.x, mouse.y + root.screenRect.y) }
        onPressed: mouse => {
            if (mouse.button === Qt.RightButton)
                root.selection.cancel()
            else
                root.selection.press(at(mouse))
        }
        onPositionChanged: mouse => root.selection.move(at(mouse))
        onReleased: mouse => { if (mouse.button === Qt.LeftButton) root.selection.release(at(mouse)) }
        onDoubleClicked: mouse => { if (mouse.button === Qt.LeftButton) root.selection.doubleClick(at(mouse)) }
    }
}
