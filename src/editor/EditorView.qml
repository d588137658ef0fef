import QtQuick
import QtQuick.Controls as QQC
import Orrinvale

// The editor window's content: the toolbar band, a divider, and the canvas inset 30 points
// with a soft shadow. In the canvas, back to front: the grey backdrop, the input layer, the
// document (the capture with the text and image views, in canvas units, placed and scaled
// by the editor) and the drawing layer of the shapes. Above the canvas, the note of restored
// edits.
Rectangle {
    id: root
    required property EditorSession session
    required property Preferences preferences
    readonly property EditorState editor: editorState
    // The narrowest the content may be with every toolbar control whole; the window takes it
    // as its minimum width.
    readonly property real minimumContentWidth: toolbar.minimumWidth

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
        // 85 points; more where a larger font makes the controls taller.
        height: implicitHeight
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

        // An earlier editor's unsaved edits are shown, until the next edit: a line above the
        // canvas's right end, where it takes no room from the toolbar's controls.
        QQC.Label {
            objectName: "draftNote"
            anchors.right: canvasArea.right
            anchors.verticalCenter: parent.top
            anchors.verticalCenterOffset: canvasArea.anchors.margins / 2
            visible: editorState.draftRestored
            text: "Unsaved edits restored"
            color: SystemColors.secondaryText
            font.pointSize: toolbar.captionPointSize
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

            // Pictures dropped anywhere on the canvas area.
            CanvasDropArea {
                objectName: "canvasDropArea"
                anchors.fill: parent
                editor: editorState
            }

            Item {
                id: documentGroup
                x: editorState.viewport.canvasOrigin.x
                y: editorState.viewport.canvasOrigin.y
                width: editorState.viewport.viewSize.width
                height: editorState.viewport.viewSize.height
                transformOrigin: Item.TopLeft
                scale: editorState.viewport.canvasScale

                ImageItem {
                    anchors.fill: parent
                    image: root.session.image
                }

                // One view per text or image record, made once per record and kept as long
                // as it lives (the model never resets), in drawing order.
                Repeater {
                    model: editorState.document.records
                    delegate: Item {
                        id: record
                        required property string annotationId
                        required property int type
                        required property point position
                        required property color color
                        required property string textPayload
                        required property var imagePayload
                        required property size imageSize
                        required property double imageScale
                        required property bool textHasBackground
                        required property double fontSize
                        required property string fontName

                        Loader {
                            sourceComponent: record.type === DrawingTool.Text ? textView
                                           : record.type === DrawingTool.DroppedImage ? imageView
                                           : null
                        }

                        Component {
                            id: textView
                            TextAnnotationView {
                                editor: editorState
                                annotationId: record.annotationId
                                position: record.position
                                color: record.color
                                textPayload: record.textPayload
                                textHasBackground: record.textHasBackground
                                fontSize: record.fontSize
                                fontName: record.fontName
                            }
                        }

                        Component {
                            id: imageView
                            DroppedImageView {
                                editor: editorState
                                annotationId: record.annotationId
                                position: record.position
                                imagePayload: record.imagePayload
                                imageSize: record.imageSize
                                imageScale: record.imageScale
                            }
                        }
                    }
                }
            }

            DrawingLayer {
                objectName: "drawingLayer"
                anchors.fill: parent
                editor: editorState
            }

            // Outside the crop the canvas is dimmed.
            Item {
                id: cropShade
                objectName: "cropShade"
                readonly property rect crop: editorState.cropView
                readonly property color shade: Qt.rgba(0, 0, 0, 0.5)
                anchors.fill: parent
                visible: crop.width > 0 && crop.height > 0

                Rectangle { x: 0; y: 0; width: parent.width; height: Math.max(0, cropShade.crop.y); color: cropShade.shade }
                Rectangle {
                    x: 0; y: cropShade.crop.y + cropShade.crop.height
                    width: parent.width; height: Math.max(0, parent.height - y)
                    color: cropShade.shade
                }
                Rectangle {
                    x: 0; y: cropShade.crop.y
                    width: Math.max(0, cropShade.crop.x); height: cropShade.crop.height
                    color: cropShade.shade
                }
                Rectangle {
                    x: cropShade.crop.x + cropShade.crop.width; y: cropShade.crop.y
                    width: Math.max(0, parent.width - x); height: cropShade.crop.height
                    color: cropShade.shade
                }
                // Its corners are handles while Crop is the tool.
                Repeater {
                    model: editorState.tools.currentTool === DrawingTool.Crop ? 4 : 0
                    delegate: Rectangle {
                        required property int index
                        x: cropShade.crop.x + (index === 1 || index === 2 ? cropShade.crop.width : 0) - 5
                        y: cropShade.crop.y + (index >= 2 ? cropShade.crop.height : 0) - 5
                        width: 10
                        height: 10
                        color: "white"
                        border.width: 1.5
                        border.color: SystemColors.systemBlue
                    }
                }
            }

            // The region Copy Text reads, marked by a Shift-drag.
            Rectangle {
                objectName: "textRegion"
                visible: editorState.textRegionView.width > 0 && editorState.textRegionView.height > 0
                x: editorState.textRegionView.x
                y: editorState.textRegionView.y
                width: editorState.textRegionView.width
                height: editorState.textRegionView.height
                color: Qt.rgba(0.2, 0.5, 1, 0.12)
                border.width: 1
                border.color: SystemColors.systemBlue
            }

            // The selected shape's handles, and the frame of a selected stroke; the
            // input layer below takes the presses on them.
            Rectangle {
                objectName: "selectionFrame"
                visible: editorState.selectionFrame.width > 0 || editorState.selectionFrame.height > 0
                x: editorState.selectionFrame.x
                y: editorState.selectionFrame.y
                width: editorState.selectionFrame.width
                height: editorState.selectionFrame.height
                color: "transparent"
                border.width: 1
                border.color: SystemColors.systemBlue
            }
            Repeater {
                model: editorState.selectionHandles
                delegate: Rectangle {
                    required property point modelData
                    objectName: "selectionHandle"
                    x: modelData.x - 5
                    y: modelData.y - 5
                    width: 10
                    height: 10
                    radius: 2
                    color: "white"
                    border.width: 1.5
                    border.color: SystemColors.systemBlue
                }
            }
        }
    }
}
