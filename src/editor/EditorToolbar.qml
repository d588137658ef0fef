import QtQuick
import QtQuick.Controls as QQC
import QtQuick.Layouts
import QtQuick.Shapes
import Orrinvale

// The editor's toolbar, 85 points high with the usual fonts and taller with larger ones.
// First row: the tools, Undo, Redo, Clear, Revert to Original, the zoom, Copy, Copy Text,
// Cancel and "Save Edits"; a divider; second row: the colour swatches with the colour well,
// the highlighter, ellipse, step, redact and crop tools, one place shared by the line widths
// (with the stroked tools, and Select when a shape is selected), the redaction styles, Reset
// Crop and the text style controls.
// Every control forwards to the editor state; nothing here holds state of its own.
// Each control is as wide as its label and padding. When the window is narrow, the flexible
// space gives its room first, then the zoom read-out down to its text and the tool buttons
// down to half their side padding. `minimumWidth` is the narrowest the band can then be with
// every control whole; the window takes it as its own minimum, so with a larger system font
// the window stays wider rather than cut the last buttons.
Rectangle {
    id: root
    required property EditorState editor
    // Both rows at their narrowest, with the margins.
    readonly property real minimumWidth: Math.ceil(Math.max(firstRowMinimum.width,
                                                            secondRowMinimum.width)) + 30
    // The small print of the read-out: 11 pixels beside the usual 9-point system font, and
    // as much larger as the system font is.
    readonly property real captionPointSize: Qt.application.font.pointSize > 0
                                             ? Qt.application.font.pointSize * 11 / 12 : 8.25

    color: SystemColors.windowBackground
    implicitHeight: firstBand.height + 1 + secondBand.height
    // A saved editor takes nothing more.
    enabled: !editor.finished

    component Divider: Rectangle {
        implicitWidth: 1
        implicitHeight: 20
        color: Qt.darker(SystemColors.windowBackground, 1.25)
    }

    // A push button as wide as its label and the style's padding: the style's 80-point
    // minimum would push "Cancel" and "Save Edits" out of an 850-point window.
    component ToolbarButton: QQC.Button {
        focusPolicy: Qt.NoFocus
        implicitWidth: implicitContentWidth + leftPadding + rightPadding
    }

    Column {
        anchors.fill: parent

        Item {
            id: firstBand
            width: parent.width
            // 44 points, or more where its tallest control and 12 points of margin need it.
            height: Math.max(44, firstRow.implicitHeight + 12)

            RowMinimumWidth {
                id: firstRowMinimum
                row: firstRow
            }

            RowLayout {
                id: firstRow
                anchors.fill: parent
                anchors.leftMargin: 15
                anchors.rightMargin: 15
                anchors.topMargin: 10
                anchors.bottomMargin: 5
                spacing: 8

                // Each group of tools sits closer together than the other controls, which
                // leaves the row room for Redo.
                RowLayout {
                    spacing: 4

                    Repeater {
                        model: [DrawingTool.Pan, DrawingTool.Pointer]
                        delegate: toolButton
                    }
                }

                Divider {}

                RowLayout {
                    spacing: 4

                    Repeater {
                        model: [DrawingTool.Text, DrawingTool.Pen, DrawingTool.Rectangle,
                                DrawingTool.Line, DrawingTool.Arrow]
                        delegate: toolButton
                    }
                }

                Divider {}

                // "Insert": a picture from a file, through the desktop's file chooser.
                QQC.AbstractButton {
                    id: insertButton
                    objectName: "insertButton"
                    text: "Insert"
                    focusPolicy: Qt.NoFocus
                    leftPadding: 10
                    rightPadding: 10
                    topPadding: 6
                    bottomPadding: 6
                    implicitWidth: implicitContentWidth + leftPadding + rightPadding
                    implicitHeight: implicitContentHeight + topPadding + bottomPadding
                    Layout.minimumWidth: implicitWidth
                    onClicked: root.editor.openImagePicker()

                    contentItem: Row {
                        spacing: 5

                        // A photo: a framed landscape with a sun.
                        Rectangle {
                            anchors.verticalCenter: parent.verticalCenter
                            width: 16
                            height: 13
                            radius: 2
                            color: "transparent"
                            border.width: 1.5
                            border.color: SystemColors.primaryText

                            Item {
                                anchors.fill: parent
                                anchors.margins: 1.5
                                clip: true

                                Rectangle {
                                    x: 8.5
                                    y: 1.5
                                    width: 3
                                    height: 3
                                    radius: 1.5
                                    color: SystemColors.primaryText
                                }
                                Rectangle {
                                    x: 0.5
                                    y: 6
                                    width: 7
                                    height: 7
                                    rotation: 45
                                    color: SystemColors.primaryText
                                }
                                Rectangle {
                                    x: 6.5
                                    y: 8
                                    width: 6
                                    height: 6
                                    rotation: 45
                                    color: SystemColors.primaryText
                                }
                            }
                        }

                        Text {
                            anchors.verticalCenter: parent.verticalCenter
                            text: insertButton.text
                            font: insertButton.font
                            color: SystemColors.primaryText
                            elide: Text.ElideNone
                        }
                    }

                    background: Rectangle {
                        radius: 6
                        color: insertButton.down ? Qt.rgba(0.5, 0.5, 0.5, 0.3)
                                                 : Qt.rgba(0.5, 0.5, 0.5, 0.2)
                    }
                }

                // Gives its room first when the window is narrow.
                Item {
                    Layout.fillWidth: true
                }

                // The edit commands sit closer together than the other controls, Revert to
                // Original closest, which leaves the row room for it.
                Row {
                    spacing: 4

                    ToolbarButton {
                        objectName: "undoButton"
                        anchors.verticalCenter: parent.verticalCenter
                        text: "Undo"
                        onClicked: root.editor.undo()
                    }

                    ToolbarButton {
                        objectName: "redoButton"
                        anchors.verticalCenter: parent.verticalCenter
                        text: "Redo"
                        onClicked: root.editor.redo()
                    }

                    // Clear, and Revert to Original beside it without a gap: a glyph (an arrow
                    // turning back), since at the 850-point minimum the row has no room for its
                    // words.
                    Row {
                        ToolbarButton {
                            objectName: "clearButton"
                            anchors.verticalCenter: parent.verticalCenter
                            text: "Clear"
                            onClicked: root.editor.clear()
                        }

                        // Back to the capture as it was taken: every annotation and the crop go.
                        QQC.AbstractButton {
                            id: revertButton
                            objectName: "revertButton"
                            text: "Revert to Original"
                            focusPolicy: Qt.NoFocus
                            anchors.verticalCenter: parent.verticalCenter
                            implicitWidth: 20
                            implicitHeight: 24
                            enabled: root.editor.canRevert
                            Accessible.name: text
                            QQC.ToolTip.visible: hovered
                            QQC.ToolTip.text: text
                            onClicked: root.editor.revertToOriginal()

                            contentItem: Item {
                                opacity: revertButton.enabled ? 1 : 0.35

                                // Three quarters of a circle, turning anticlockwise to an arrowhead
                                // at its top left.
                                Shape {
                                    anchors.fill: parent
                                    antialiasing: true
                                    ShapePath {
                                        strokeColor: SystemColors.primaryText
                                        strokeWidth: 1.5
                                        fillColor: "transparent"
                                        capStyle: ShapePath.RoundCap
                                        startX: 5
                                        startY: 12
                                        PathArc {
                                            x: 10
                                            y: 7
                                            radiusX: 5
                                            radiusY: 5
                                            useLargeArc: true
                                            direction: PathArc.Counterclockwise
                                        }
                                    }
                                    ShapePath {
                                        strokeColor: "transparent"
                                        fillColor: SystemColors.primaryText
                                        startX: 3
                                        startY: 9
                                        PathLine { x: 5; y: 14 }
                                        PathLine { x: 8; y: 10 }
                                        PathLine { x: 3; y: 9 }
                                    }
                                }
                            }
                            background: Rectangle {
                                radius: 4
                                color: revertButton.down ? Qt.rgba(0.5, 0.5, 0.5, 0.3)
                                     : revertButton.hovered ? Qt.rgba(0.5, 0.5, 0.5, 0.15) : "transparent"
                            }
                        }
                    }

                }

                // 75 points wide (or as wide as a larger font makes its text); narrower only
                // once the flexible space has nothing left, and never narrower than its text.
                QQC.Label {
                    objectName: "zoomReadout"
                    Layout.fillWidth: true
                    Layout.preferredWidth: Math.max(75, implicitWidth)
                    Layout.maximumWidth: Math.max(75, implicitWidth)
                    Layout.minimumWidth: implicitWidth
                    horizontalAlignment: Text.AlignRight
                    text: root.editor.viewport.zoomReadout
                    color: SystemColors.secondaryText
                    font.pointSize: root.captionPointSize
                }

                // Copy: the picture as "Save Edits" would make it, to the clipboard; the editor
                // stays. A glyph (two sheets), not a label, grouped with Cancel without a gap:
                // at the 850-point minimum the row has no room for another word or spacing.
                Row {
                    QQC.AbstractButton {
                        id: copyButton
                        objectName: "copyButton"
                        text: "Copy"
                        focusPolicy: Qt.NoFocus
                        anchors.verticalCenter: parent.verticalCenter
                        implicitWidth: 18
                        implicitHeight: 24
                        Accessible.name: text
                        QQC.ToolTip.visible: hovered
                        QQC.ToolTip.text: "Copy (Ctrl+C)"
                        onClicked: root.editor.copyRenderedImage()

                        contentItem: Item {
                            Rectangle {
                                x: 1
                                y: 4
                                width: 10
                                height: 12
                                radius: 2
                                color: "transparent"
                                border.width: 1.5
                                border.color: SystemColors.primaryText
                            }
                            Rectangle {
                                x: 5
                                y: 8
                                width: 10
                                height: 12
                                radius: 2
                                color: SystemColors.windowBackground
                                border.width: 1.5
                                border.color: SystemColors.primaryText
                            }
                        }
                        background: Rectangle {
                            radius: 4
                            color: copyButton.down ? Qt.rgba(0.5, 0.5, 0.5, 0.3)
                                 : copyButton.hovered ? Qt.rgba(0.5, 0.5, 0.5, 0.15) : "transparent"
                        }
                    }

                    // Copy Text: the text of the picture as rendered, to the clipboard.
                    QQC.AbstractButton {
                        id: copyTextButton
                        objectName: "copyTextButton"
                        text: "Copy Text"
                        focusPolicy: Qt.NoFocus
                        anchors.verticalCenter: parent.verticalCenter
                        implicitWidth: 20
                        implicitHeight: 24
                        Accessible.name: text
                        QQC.ToolTip.visible: hovered
                        QQC.ToolTip.text: "Copy Text"
                        onClicked: root.editor.copyText()

                        // A sheet with lines of text on it.
                        contentItem: Item {
                            Rectangle {
                                x: 3
                                y: 4
                                width: 13
                                height: 16
                                radius: 2
                                color: "transparent"
                                border.width: 1.5
                                border.color: SystemColors.primaryText
                            }
                            Repeater {
                                model: 3
                                Rectangle {
                                    required property int index
                                    x: 6
                                    y: 8 + index * 3.5
                                    width: index === 2 ? 4 : 7
                                    height: 1.5
                                    color: SystemColors.primaryText
                                }
                            }
                        }
                        background: Rectangle {
                            radius: 4
                            color: copyTextButton.down ? Qt.rgba(0.5, 0.5, 0.5, 0.3)
                                 : copyTextButton.hovered ? Qt.rgba(0.5, 0.5, 0.5, 0.15) : "transparent"
                        }
                    }

                    ToolbarButton {
                        objectName: "cancelButton"
                        anchors.verticalCenter: parent.verticalCenter
                        text: "Cancel"
                        onClicked: root.editor.cancel()
                    }
                }

                ToolbarButton {
                    id: saveButton
                    objectName: "saveButton"
                    text: "Save Edits"
                    onClicked: root.editor.saveRenderedImage()

                    contentItem: Text {
                        text: saveButton.text
                        font: saveButton.font
                        color: "white"
                        horizontalAlignment: Text.AlignHCenter
                        verticalAlignment: Text.AlignVCenter
                    }
                    background: Rectangle {
                        implicitHeight: 24
                        radius: 4
                        color: saveButton.down ? Qt.darker(SystemColors.systemBlue, 1.2)
                             : saveButton.hovered ? Qt.lighter(SystemColors.systemBlue, 1.08)
                             : SystemColors.systemBlue
                        border.color: Qt.darker(SystemColors.systemBlue, 1.3)
                    }
                }
            }
        }

        Item {
            width: parent.width
            height: 1

            Rectangle {
                anchors.fill: parent
                anchors.leftMargin: 15
                anchors.rightMargin: 15
                color: Qt.darker(SystemColors.windowBackground, 1.15)
            }
        }

        Item {
            id: secondBand
            width: parent.width
            // 40 points, or more where its tallest control and 12 points of margin need it.
            height: Math.max(40, secondRow.implicitHeight + 12)

            RowMinimumWidth {
                id: secondRowMinimum
                row: secondRow
            }

            RowLayout {
                id: secondRow
                anchors.fill: parent
                anchors.leftMargin: 15
                anchors.rightMargin: 15
                anchors.topMargin: 5
                anchors.bottomMargin: 10
                spacing: 15

                Row {
                    spacing: 8

                    // By count, so a changed colour updates its swatch in place.
                    Repeater {
                        model: root.editor.tools.colorPresets.length
                        delegate: swatch
                    }

                    ColorWell {
                        objectName: "colorWell"
                        anchors.verticalCenter: parent.verticalCenter
                        color: root.editor.tools.color
                        onColorChosen: chosen => root.editor.tools.color = chosen
                    }
                }

                // The tools the first row has no room for, as pictures.
                Row {
                    objectName: "moreTools"
                    spacing: 2

                    Repeater {
                        model: [DrawingTool.Highlighter, DrawingTool.Ellipse, DrawingTool.Step,
                                DrawingTool.Redact, DrawingTool.Crop]
                        delegate: ToolButton {
                            required property int modelData
                            objectName: "tool" + title
                            title: root.editor.tools.label(modelData)
                            glyph: modelData === DrawingTool.Highlighter ? "highlighter"
                                 : modelData === DrawingTool.Ellipse ? "ellipse"
                                 : modelData === DrawingTool.Step ? "step"
                                 : modelData === DrawingTool.Redact ? "redact" : "crop"
                            isSelected: root.editor.tools.currentTool === modelData
                            onClicked: root.editor.tools.currentTool = modelData
                        }
                    }
                }

                // One place for the line widths, the redaction styles, Reset Crop and the
                // text style controls, as wide as the widest of them: the row needs the same
                // room whichever of them shows, so choosing a tool never changes how narrow
                // the window may be.
                Item {
                    implicitWidth: Math.max(lineWidthGroup.implicitWidth,
                                            redactStyleGroup.implicitWidth,
                                            resetCropButton.implicitWidth,
                                            textStyleGroup.implicitWidth)
                    implicitHeight: Math.max(lineWidthGroup.implicitHeight,
                                             redactStyleGroup.implicitHeight,
                                             resetCropButton.implicitHeight,
                                             textStyleGroup.implicitHeight)

                    // The line widths, for the stroked tools and Select with a shape selected.
                    Row {
                        id: lineWidthGroup
                        objectName: "lineWidthGroup"
                        anchors.verticalCenter: parent.verticalCenter
                        spacing: 4
                        enabled: root.editor.showsLineWidths
                        visible: enabled

                        Repeater {
                            model: root.editor.tools.lineWidths
                            delegate: QQC.AbstractButton {
                                id: widthButton
                                required property double modelData
                                readonly property bool chosen: root.editor.tools.lineWidth === modelData
                                objectName: "lineWidth" + modelData
                                focusPolicy: Qt.NoFocus
                                implicitWidth: 28
                                implicitHeight: 22
                                Accessible.name: "Line width " + modelData
                                onClicked: root.editor.tools.lineWidth = modelData

                                background: Rectangle {
                                    radius: 4
                                    color: widthButton.chosen ? Qt.rgba(0.5, 0.5, 0.5, 0.35)
                                                              : Qt.rgba(0.5, 0.5, 0.5, 0.12)
                                }
                                contentItem: Item {
                                    Rectangle {
                                        anchors.centerIn: parent
                                        width: 18
                                        height: Math.min(widthButton.modelData, 12)
                                        radius: height / 2
                                        color: SystemColors.primaryText
                                    }
                                }
                            }
                        }
                    }

                    // The redaction styles, in the same place.
                    Row {
                        id: redactStyleGroup
                        objectName: "redactStyleGroup"
                        anchors.verticalCenter: parent.verticalCenter
                        spacing: 4
                        visible: root.editor.showsRedactStyles

                        Repeater {
                            model: ["Solid", "Pixelate"]
                            delegate: ToolButton {
                                required property string modelData
                                required property int index
                                objectName: "redact" + modelData
                                title: modelData
                                isSelected: root.editor.tools.redactPixelate === (index === 1)
                                onClicked: root.editor.setRedactPixelate(index === 1)
                            }
                        }
                    }

                    // With Crop, in the same place: back to the whole picture.
                    ToolbarButton {
                        id: resetCropButton
                        objectName: "resetCropButton"
                        anchors.verticalCenter: parent.verticalCenter
                        text: "Reset Crop"
                        visible: root.editor.tools.currentTool === DrawingTool.Crop
                        onClicked: root.editor.resetCrop()
                    }

                    // The text style controls' place.
                    Row {
                        id: textStyleGroup
                        objectName: "textStyleGroup"
                        anchors.verticalCenter: parent.verticalCenter
                        spacing: 15
                        enabled: root.editor.tools.textStyleEnabled && !root.editor.showsLineWidths
                                 && !root.editor.showsRedactStyles
                        opacity: enabled ? 1 : 0
                        visible: !root.editor.showsLineWidths && !root.editor.showsRedactStyles
                                 && root.editor.tools.currentTool !== DrawingTool.Crop

                        TextStyleControls {
                            editor: root.editor
                        }
                    }
                }

                Item {
                    Layout.fillWidth: true
                }
            }
        }
    }

    Component {
        id: toolButton

        ToolButton {
            required property int modelData
            objectName: "tool" + title
            title: root.editor.tools.label(modelData)
            isSelected: root.editor.tools.currentTool === modelData
            onClicked: root.editor.tools.currentTool = modelData
        }
    }

    Component {
        id: swatch

        Item {
            id: circle
            required property int index
            readonly property color swatchColor: root.editor.tools.colorPresets[index]
            readonly property bool active: index === root.editor.tools.activeColorIndex

            objectName: "swatch" + index
            width: 20
            height: 20
            Accessible.role: Accessible.Button
            Accessible.name: "Colour " + (index + 1)

            // The soft shadow of the swatches that are not active.
            Rectangle {
                visible: !circle.active
                anchors.centerIn: parent
                width: 24
                height: 24
                radius: 12
                color: Qt.rgba(0, 0, 0, 0.06)
            }
            Rectangle {
                visible: !circle.active
                anchors.centerIn: parent
                width: 22
                height: 22
                radius: 11
                color: Qt.rgba(0, 0, 0, 0.14)
            }
            Rectangle {
                anchors.fill: parent
                radius: 10
                color: circle.swatchColor
            }
            // The active swatch's ring: 3 points wide, centred on the circle's edge.
            Rectangle {
                visible: circle.active
                anchors.centerIn: parent
                width: 23
                height: 23
                radius: 11.5
                color: "transparent"
                border.width: 3
                border.color: SystemColors.primaryText
            }

            // The circle, not its square, takes the click.
            containmentMask: QtObject {
                function contains(point: point): bool {
                    const dx = point.x - 10;
                    const dy = point.y - 10;
                    return dx * dx + dy * dy <= 100;
                }
            }
            TapHandler {
                onTapped: root.editor.tools.chooseSwatch(circle.index)
            }
        }
    }
}
