import QtQuick
import QtQuick.Controls as QQC
import QtQuick.Dialogs
import Orrinvale

// The colour well of the toolbar: shows `color` (over a checkerboard, so opacity shows); a
// click opens the colour dialog, opacity included, and the colour accepted there is
// announced by `colorChosen`.
QQC.AbstractButton {
    id: well
    property color color
    readonly property ColorDialog dialog: colorDialog
    signal colorChosen(color chosen)

    focusPolicy: Qt.NoFocus
    implicitWidth: 38
    implicitHeight: 22
    Accessible.name: "Colour"

    background: Rectangle {
        radius: 4
        color: well.down ? Qt.darker(SystemColors.windowBackground, 1.1) : "white"
        border.color: Qt.darker(SystemColors.windowBackground, 1.35)

        Item {
            id: face
            anchors.fill: parent
            anchors.margins: 4
            clip: true

            Grid {
                columns: Math.ceil(face.width / 5)
                Repeater {
                    model: Math.ceil(face.width / 5) * Math.ceil(face.height / 5)
                    Rectangle {
                        required property int index
                        readonly property int column: index % Math.ceil(face.width / 5)
                        readonly property int row: Math.floor(index / Math.ceil(face.width / 5))
                        width: 5
                        height: 5
                        color: (column + row) % 2 ? "#cccccc" : "white"
                    }
                }
            }

            Rectangle {
                anchors.fill: parent
                color: well.color
                border.color: Qt.rgba(0, 0, 0, 0.2)
            }
        }
    }

    onClicked: {
        colorDialog.selectedColor = well.color;
        colorDialog.open();
    }

    ColorDialog {
        id: colorDialog
        objectName: "colorDialog"
        title: "Colours"
        options: ColorDialog.ShowAlphaChannel
        // Found late: the well is not in its window yet when the dialog is made.
        parentWindow: well.Window.window
        onAccepted: well.colorChosen(selectedColor)
    }
}
