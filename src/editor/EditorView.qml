import QtQuick
import Orrinvale

// The editor window's content: the toolbar band, a divider, and the canvas inset 30 points
// with a soft shadow. In the canvas, back to front: the grey backdrop, the input layer, the
// document (the capture with the text and image views, in canvas units, placed and scaled
// by the editor) and the drawing layer of the shapes.
Rectangle {
    id: root
    required property EditorSession session
    required property Preferences preferences
    readonly property EditorState editor: editorState

    color: SystemColors.windowBackground

    EditorState {
        id: editorState
        session: root.session
        preferences: root.preferences
    }

    EditorToolbar {
        id: toolbar
        objectName: "toolbar"
        anchors { left: parent.left; right: parent.right; top: parent.top }
        height: 85
        editor: editorState
    }

    Rectangle {
        id: divider
        anchors { left: parent.left; right: parent.right; top: toolbar.bottom }
        height: 1
        color: Qt.darker(SystemColors.windowBackground, 1.15)
    }

    Item {
        anchors { left: parent.left; right: parent.right; top: divider.bottom; bottom: parent.bottom }

        CanvasShadow {
            anchors.fill: canvasArea
        }

        Item {
            id: canvasArea
            objectName: "canvasArea"
            anchors.fill: parent
            anchors.margins: 30
            clip: true

            Rectangle {
                anchors.fill: parent
                color: SystemColors.underPageBackground
            }

            CanvasInputLayer {
                objectName: "canvasInput"
                anchors.fill: parent
                editor: editorState
            }

            Item {
                id: documentGroup
                x: editorState.canvasOrigin.x
                y: editorState.canvasOrigin.y
                width: editorState.viewSize.width
                height: editorState.viewSize.height
                transformOrigin: Item.TopLeft
                scale: editorState.canvasScale

                ImageItem {
                    anchors.fill: parent
                    image: root.session.image
                }

                // Stand-ins for the text and image views: they show the record and forward
                // selection; moving, scaling and editing come with those views.
                Repeater {
                    model: editorState.annotations
                    delegate: Item {
                        id: view
                        required property string annotationId
                        required property string type
                        required property point position
                        required property color color
                        required property string textPayload
                        required property var imagePayload
                        required property size imageSize
                        required property double imageScale
                        required property double fontSize
                        required property string fontName
                        readonly property bool isText: type === "Text"
                        readonly property bool isImage: type === "Dropped Image"
                        readonly property bool showsSelection:
                            editorState.isPointerMode && editorState.selectedAnnotationId === annotationId

                        visible: isText || isImage
                        width: isText ? label.implicitWidth : imageSize.width * imageScale
                        height: isText ? label.implicitHeight : imageSize.height * imageScale
                        x: isText ? position.x : position.x - width / 2
                        y: isText ? position.y : position.y - height / 2

                        Text {
                            id: label
                            visible: view.isText
                            padding: 8
                            text: view.textPayload
                            color: view.color
                            font.family: view.fontName
                            font.pointSize: view.fontSize
                            font.bold: true
                        }

                        ImageItem {
                            visible: view.isImage
                            anchors.fill: parent
                            image: view.imagePayload
                        }

                        Rectangle {
                            anchors.fill: parent
                            color: "transparent"
                            border.width: 2
                            border.color: view.showsSelection ? SystemColors.systemBlue
                                                              : "transparent"
                        }

                        TapHandler {
                            enabled: editorState.isPointerMode
                            onTapped: editorState.selectAnnotation(view.annotationId)
                        }
                    }
                }
            }

            DrawingLayer {
                objectName: "drawingLayer"
                anchors.fill: parent
                editor: editorState
            }
        }
    }
}
