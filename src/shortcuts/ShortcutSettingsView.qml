import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Orrinvale

// The settings pane of the tool shortcuts: one row per tool, every edit stored at once.
Item {
    id: root

    required property Preferences preferences

    readonly property string pointerKey: preferences.shortcutPointer
    readonly property string textKey: preferences.shortcutText
    readonly property string penKey: preferences.shortcutPen
    readonly property string rectangleKey: preferences.shortcutRectangle
    readonly property string lineKey: preferences.shortcutLine
    readonly property string arrowKey: preferences.shortcutArrow

    width: 300
    height: 240
    implicitWidth: 300
    implicitHeight: 240

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 16
        spacing: 4

        Label {
            Layout.bottomMargin: 5 - parent.spacing
            text: "Tool Shortcuts"
            textFormat: Text.PlainText
            font.weight: Font.Bold
        }

        ShortcutRow {
            Layout.fillWidth: true
            label: "Select/Resize"
            key: root.pointerKey
            onKeyEdited: key => root.preferences.shortcutPointer = key
        }
        ShortcutRow {
            Layout.fillWidth: true
            label: "Text"
            key: root.textKey
            onKeyEdited: key => root.preferences.shortcutText = key
        }
        ShortcutRow {
            Layout.fillWidth: true
            label: "Pen"
            key: root.penKey
            onKeyEdited: key => root.preferences.shortcutPen = key
        }
        ShortcutRow {
            Layout.fillWidth: true
            label: "Box"
            key: root.rectangleKey
            onKeyEdited: key => root.preferences.shortcutRectangle = key
        }
        ShortcutRow {
            Layout.fillWidth: true
            label: "Line"
            key: root.lineKey
            onKeyEdited: key => root.preferences.shortcutLine = key
        }
        ShortcutRow {
            Layout.fillWidth: true
            label: "Arrow"
            key: root.arrowKey
            onKeyEdited: key => root.preferences.shortcutArrow = key
        }

        Item {
            Layout.fillHeight: true
        }
    }
}
