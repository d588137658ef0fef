import QtQuick
import Orrinvale

// One image record on the canvas, in canvas units: the image centred where it is being
// moved to, at the scale it is being resized to, with a blue border and a corner handle when
// the Select tool has picked it. With another tool it takes no pointer input at all, so
// strokes draw across it. The gesture's state and the record's updates live in
// DroppedImageGesture.
Item {
    id: view
    required property EditorState editor
    required property string annotationId
    required property point position
    required property var imagePayload
    required property size imageSize
    required property double imageScale
    readonly property bool showsSelection:
        editor.tools.isPointerMode && editor.document.selectedId === annotationId
    readonly property alias gesture: gesture

    visible: imageSize.width > 0 && imageSize.height > 0
    width: imageSize.width * gesture.dragScale
    height: imageSize.height * gesture.dragScale
    x: gesture.dragPos.x - width / 2
    y: gesture.dragPos.y - height / 2

    DroppedImageGesture {
        id: gesture
        editor: view.editor
        annotationId: view.annotationId
    }

    // The state is taken from the record once, when the view is first shown.
    Component.onCompleted: gesture.begin(view.position, view.imageScale)

    ImageItem {
        anchors.fill: parent
        image: gesture.displayImage
        // A canvas may hold many pictures: see ImageItem.blended.
        blended: true
    }

    Rectangle {
        anchors.fill: parent
        color: "transparent"
        border.width: 2
        border.color: SystemColors.systemBlue
        // Only while selected: a canvas holds many pictures, and a node that draws nothing
        // still costs every frame.
        visible: view.showsSelection
    }

    // Moving: a press selects, a drag moves; positions are the window's, so the travel is
    // in screen points whatever the zoom.
    MouseArea {
        objectName: "imageMoveArea"
        anchors.fill: parent
        enabled: view.editor.tools.isPointerMode
        preventStealing: true
        property point pressedAt

        onPressed: mouse => {
            // A shape drawn over the picture, or a handle, is Select's to pick.
            if (!view.editor.viewTakesPress(view.annotationId,
                                            Qt.point(view.x + mouse.x, view.y + mouse.y))) {
                mouse.accepted = false;
                return;
            }
            pressedAt = mapToItem(null, mouse.x, mouse.y);
            gesture.moveChanged(Qt.point(0, 0), view.editor.viewport.canvasScale);
        }
        onPositionChanged: mouse => {
            const now = mapToItem(null, mouse.x, mouse.y);
            gesture.moveChanged(Qt.point(now.x - pressedAt.x, now.y - pressedAt.y),
                                view.editor.viewport.canvasScale);
        }
        onReleased: gesture.moveEnded()
        onCanceled: gesture.moveCancelled()
    }

    // The resize handle: a white circle with a blue ring, centred on the bottom-right corner.
    Rectangle {
        objectName: "imageResizeHandle"
        visible: view.showsSelection
        width: 16
        height: 16
        radius: 8
        x: parent.width - 8
        y: parent.height - 8
        color: "white"
        border.width: 2
        border.color: SystemColors.systemBlue

        MouseArea {
            anchors.fill: parent
            enabled: view.showsSelection
            preventStealing: true
            property real pressedAtX

            onPressed: mouse => pressedAtX = mapToItem(null, mouse.x, mouse.y).x
            onPositionChanged: mouse => {
                gesture.resizeChanged(mapToItem(null, mouse.x, mouse.y).x - pressedAtX,
                                      view.editor.viewport.canvasScale, view.imageSize.width);
            }
            onReleased: gesture.resizeEnded()
            onCanceled: gesture.resizeCancelled()
        }
    }
}
