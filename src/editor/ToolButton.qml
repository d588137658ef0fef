import QtQuick
import QtQuick.Controls as QQC
import Orrinvale

// A tool of the editor's toolbar: its title, on a blue rounded fill while it is the active
// tool and on nothing otherwise; no bezel. A click runs `clicked`.
QQC.AbstractButton {
    id: control
    required property string title
    property bool isSelected: false

    text: title
    // Keys stay with the canvas: a clicked tool never takes the keyboard.
    focusPolicy: Qt.NoFocus
    leftPadding: 12
    rightPadding: 12
    topPadding: 6
    bottomPadding: 6
    implicitWidth: implicitContentWidth + leftPadding + rightPadding
    implicitHeight: implicitContentHeight + topPadding + bottomPadding

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
