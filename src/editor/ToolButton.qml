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

    // The padding each side of the title; a narrow window takes up to half of it.
    readonly property real fullPadding: 12

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

    contentItem: Text {
        text: control.title
        font: control.font
        color: control.isSelected ? "white" : SystemColors.primaryText
        verticalAlignment: Text.AlignVCenter
    }

    background: Rectangle {
        radius: 6
        color: control.isSelected ? SystemColors.systemBlue
             : control.down ? Qt.rgba(0, 0, 0, 0.10)
             : control.hovered ? Qt.rgba(0, 0, 0, 0.05)
             : "transparent"
    }
}
