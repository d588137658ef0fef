import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Orrinvale

// The settings pane of the tool shortcuts: one row per tool, every edit stored at once.
Item {
    id: root

    required property Preferences preferences

    // Bumped by every stored change, so each row reads its key again.
    property int revision: 0

    Connections {
        target: root.preferences
        function onShortcutChanged() { root.revision++ }
    }

    function keyOf(tool) {
        root.revision; // read again after every change
        return root.preferences ? root.preferences.shortcut(tool) : "";
    }

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
            key: root.keyOf(Preferences.Pointer)
            onKeyEdited: key => root.preferences.setShortcut(Preferences.Pointer, key)
        }
        ShortcutRow {
            Layout.fillWidth: true
            label: "Text"
            key: root.keyOf(Preferences.Text)
            onKeyEdited: key => root.preferences.setShortcut(Preferences.Text, key)
        }
        ShortcutRow {
            Layout.fillWidth: true
            label: "Pen"
            key: root.keyOf(Preferences.Pen)
            onKeyEdited: key => root.preferences.setShortcut(Preferences.Pen, key)
        }
        ShortcutRow {
            Layout.fillWidth: true
            label: "Box"
            key: root.keyOf(Preferences.Rectangle)
            onKeyEdited: key => root.preferences.setShortcut(Preferences.Rectangle, key)
        }
        ShortcutRow {
            Layout.fillWidth: true
            label: "Line"
            key: root.keyOf(Preferences.Line)
            onKeyEdited: key => root.preferences.setShortcut(Preferences.Line, key)
        }
        ShortcutRow {
            Layout.fillWidth: true
            label: "Arrow"
            key: root.keyOf(Preferences.Arrow)
            onKeyEdited: key => root.preferences.setShortcut(Preferences.Arrow, key)
        }

        Item {
            Layout.fillHeight: true
        }
    }
}
