import QtQuick
import Orrinvale

// One image record on the canvas, in canvas units: the image centred on the record's point at
// its scale, and the selection border when the select tool has picked it.
Item {
    id: view
    required property EditorState editor
    required property string annotationId
    required property point position
    required property var imagePayload
    required property size imageSize
    required property double imageScale
    readonly property bool showsSelection:
        editor.isPointerMode && editor.selectedAnnotationId === annotationId

    width: imageSize.width * imageScale
    height: imageSize.height * imageScale
    x: position.x - width / 2
    y: position.y - height / 2

    ImageItem {
        anchors.fill: parent
        image: view.imagePayload
    }

    Rectangle {
        anchors.fill: parent
        color: "transparent"
        border.width: 2
        border.color: view.showsSelection ? SystemColors.systemBlue : "transparent"
    }

    TapHandler {
        enabled: view.editor.isPointerMode
        onTapped: view.editor.selectAnnotation(view.annotationId)
    }
}
