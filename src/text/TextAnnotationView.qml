import QtQuick
import Orrinvale

// One text record on the canvas, in canvas units: its text at the record's top-left corner,
// inset 8 points, and the selection border when the select tool has picked it.
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
    readonly property bool showsSelection:
        editor.isPointerMode && editor.selectedAnnotationId === annotationId

    x: position.x
    y: position.y
    width: label.implicitWidth
    height: label.implicitHeight

    Text {
        id: label
        padding: 8
        text: view.textPayload
        color: view.color
        font.family: view.fontName
        font.pointSize: view.fontSize
        font.bold: true
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
