import QtQuick
import QtQuick.Controls as QQC
import QtQuick.Layouts
import Orrinvale

// A tool of the editor's toolbar: its title, on a blue rounded fill while it is the active
// tool and on nothing otherwise; no bezel. A click runs `clicked`.
QQC.AbstractButton {
    id: control
    required property string title
    property bool isSelected: false
    // A small picture in place of the title ("ellipse", "highlighter", "step", "redact", "crop"), for the
    // tools of the second row; the title stays the name for the tooltip and accessibility.
    property string glyph: ""
    readonly property color contentColor: isSelected ? "white" : SystemColors.primaryText

    // The padding each side of the title; a narrow window takes up to half of it.
    readonly property real fullPadding: glyph === "" ? 12 : 6

    text: title
    // Keys stay with the canvas: a clicked tool never takes the keyboard.
    focusPolicy: Qt.NoFocus
    // Its natural width is the title with the full padding; in a toolbar row too narrow for
    // every control, the row may make it narrower, down to half the padding, and the title
    // stays centred and whole.
    implicitWidth: implicitContentWidth + 2 * fullPadding
    implicitHeight: implicitContentHeight + topPadding + bottomPadding
    Layout.fillWidth: true
    Layout.preferredWidth: implicitWidth
    Layout.maximumWidth: implicitWidth
    Layout.minimumWidth: implicitContentWidth + fullPadding
    horizontalPadding: Math.max(0, Math.min(fullPadding, (width - implicitContentWidth) / 2))
    topPadding: 6
    bottomPadding: 6

    Accessible.name: title
    QQC.ToolTip.visible: glyph !== "" && hovered
    QQC.ToolTip.text: title
    QQC.ToolTip.delay: 600

    contentItem: Loader {
        sourceComponent: control.glyph === "ellipse" ? ellipseGlyph
                       : control.glyph === "highlighter" ? highlighterGlyph
                       : control.glyph === "step" ? stepGlyph
                       : control.glyph === "redact" ? redactGlyph
                       : control.glyph === "crop" ? cropGlyph
                       : titleText
    }

    Component {
        id: titleText
        Text {
            text: control.title
            font: control.font
            color: control.contentColor
            verticalAlignment: Text.AlignVCenter
        }
    }
    Component {
        id: ellipseGlyph
        Item {
            implicitWidth: 18
            implicitHeight: 14
            Rectangle {
                anchors.centerIn: parent
                width: 18
                height: 12
                radius: 6
                color: "transparent"
                border.width: 1.5
                border.color: control.contentColor
            }
        }
    }
    Component {
        id: highlighterGlyph
        Item {
            implicitWidth: 18
            implicitHeight: 14
            Rectangle {
                anchors.centerIn: parent
                width: 18
                height: 7
                radius: 3.5
                color: control.contentColor
                opacity: 0.45
            }
        }
    }
    Component {
        id: cropGlyph
        // Two crossing corner brackets.
        Item {
            implicitWidth: 16
            implicitHeight: 16
            Rectangle { x: 3; y: 0; width: 1.5; height: 13; color: control.contentColor }
            Rectangle { x: 3; y: 11.5; width: 13; height: 1.5; color: control.contentColor }
            Rectangle { x: 0; y: 3; width: 13; height: 1.5; color: control.contentColor }
            Rectangle { x: 11.5; y: 3; width: 1.5; height: 13; color: control.contentColor }
        }
    }
    Component {
        id: redactGlyph
        Item {
            implicitWidth: 18
            implicitHeight: 14
            Rectangle {
                anchors.centerIn: parent
                width: 18
                height: 10
                color: control.contentColor
            }
        }
    }
    Component {
        id: stepGlyph
        Item {
            implicitWidth: 16
            implicitHeight: 16
            Rectangle {
                anchors.fill: parent
                radius: 8
                color: control.contentColor
            }
            Text {
                anchors.centerIn: parent
                text: "1"
                font.bold: true
                font.pixelSize: 11
                color: control.isSelected ? SystemColors.systemBlue : SystemColors.windowBackground
            }
        }
    }

    background: Rectangle {
        radius: 6
        color: control.isSelected ? SystemColors.systemBlue
             : control.down ? Qt.rgba(0, 0, 0, 0.10)
             : control.hovered ? Qt.rgba(0, 0, 0, 0.05)
             : "transparent"
    }
}
