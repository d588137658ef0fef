import QtQuick
import Orrinvale

// One text record on the canvas, in canvas units: the text field inset 8 points, the plate
// behind it, the selection border and the scale handle. Its state and gestures live in a
// TextBoxController; this file lays them out and forwards the pointer.
Item {
    id: view
    required property EditorState editor
    required property string annotationId
    required property point position
    required property color color
    required property string textPayload
    required property double fontSize
    required property string fontName
    required property bool textHasBackground
    readonly property bool showsSelection: editor.tools.isPointerMode && box.isSelected
    readonly property TextBoxController controller: box

    objectName: "textBox"
    x: box.dragPos.x
    y: box.dragPos.y
    width: frame.width
    height: frame.height
    // With other tools a box that is not being edited lets clicks through to the canvas.
    enabled: editor.tools.isPointerMode || box.isEditing

    TextBoxController {
        id: box
        editor: view.editor
        annotationId: view.annotationId
        text: view.textPayload
        fontName: view.fontName
        fontSize: view.fontSize
        color: view.color
        textHasBackground: view.textHasBackground
        isSelected: view.editor.document.selectedId === view.annotationId
        zoomScale: view.editor.viewport.canvasScale
        onFocusRequested: field.takeFocus()
        onFocusReleaseRequested: field.releaseFocus()
    }

    Component.onCompleted: box.appear()

    Connections {
        target: view.editor
        // The editor's Escape while this box has the keyboard ends its editing.
        function onTextEditingCancelled() {
            if (field.activeFocus)
                box.cancelEditing()
        }
    }

    Rectangle {
        id: frame
        // The placeholder and the field share a corner; the box holds whichever is larger.
        width: Math.max(box.idealSize.width, placeholder.visible ? placeholder.implicitWidth : 0) + 16
        height: Math.max(box.idealSize.height, placeholder.visible ? placeholder.implicitHeight : 0) + 16
        radius: view.textHasBackground ? 8 * box.dragScale : 0
        color: view.textHasBackground ? view.color : "transparent"
        antialiasing: true
        // Hidden, it still gives the box its size; a canvas holds many boxes, and each node
        // that draws nothing still costs every frame.
        visible: view.textHasBackground
    }

    Text {
        id: placeholder
        objectName: "placeholder"
        x: 8
        y: 8
        text: "Type here..."
        font: box.placeholderFont
        color: box.resolvedTextColor
        opacity: 0.5
        // An input method's composition is text in the making.
        visible: box.isEditing && field.text === "" && field.preeditText === ""
    }

    FocusableAutoSizingTextView {
        id: field
        x: 8
        y: 8
        z: 1
        controller: box
        // Outside editing a press the box lets through must not stop at the field.
        enabled: box.isEditing
    }

    Rectangle {
        objectName: "selectionBorder"
        anchors.fill: frame
        radius: frame.radius
        color: "transparent"
        border.width: 2
        border.color: SystemColors.systemBlue
        antialiasing: true
        visible: view.showsSelection
    }

    // The box drag. While editing it only keeps clicks on the inset from reaching the
    // canvas; otherwise it lies over the text field and takes every press.
    MouseArea {
        id: moveArea
        property point pressedAt

        anchors.fill: frame
        z: box.isEditing ? 0 : 2
        function travel(mouse) {
            const p = mapToItem(null, mouse.x, mouse.y);
            return Qt.point(p.x - pressedAt.x, p.y - pressedAt.y);
        }
        onPressed: mouse => {
            // Beside the text, what lies under the box is Select's to pick.
            if (view.editor.tools.isPointerMode && !box.isEditing
                    && !view.editor.viewTakesPress(view.annotationId,
                                                   Qt.point(view.x + mouse.x, view.y + mouse.y))) {
                mouse.accepted = false;
                return;
            }
            pressedAt = mapToItem(null, mouse.x, mouse.y);
            if (view.editor.tools.isPointerMode && !box.isEditing)
                box.moveChanged(Qt.point(0, 0));
        }
        onPositionChanged: mouse => {
            if (view.editor.tools.isPointerMode && !box.isEditing)
                box.moveChanged(travel(mouse));
        }
        // Whether a move is on is the controller's to know: a tool key may have ended it.
        onReleased: mouse => box.moveEnded(travel(mouse))
        onCanceled: box.moveCancelled()
    }

    Rectangle {
        objectName: "scaleHandle"
        visible: view.showsSelection
        x: frame.width - 8
        y: frame.height - 8
        z: 3
        width: 16
        height: 16
        radius: 8
        color: "white"
        border.width: 2
        border.color: SystemColors.systemBlue
        antialiasing: true

        MouseArea {
            property point pressedAt

            anchors.fill: parent
            preventStealing: true
            function travel(mouse) {
                const p = mapToItem(null, mouse.x, mouse.y);
                return Qt.point(p.x - pressedAt.x, p.y - pressedAt.y);
            }
            onPressed: mouse => pressedAt = mapToItem(null, mouse.x, mouse.y)
            onPositionChanged: mouse => box.scaleChanged(travel(mouse))
            onReleased: mouse => box.scaleEnded(travel(mouse))
            // Hiding the handle mid-drag takes the grab away.
            onCanceled: box.scaleCancelled()
        }
    }
}
