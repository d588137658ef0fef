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

        Repeater {
            model: [
                { label: "Select/Resize", tool: Preferences.Pointer },
                { label: "Text", tool: Preferences.Text },
                { label: "Pen", tool: Preferences.Pen },
                { label: "Box", tool: Preferences.Rectangle },
                { label: "Line", tool: Preferences.Line },
                { label: "Arrow", tool: Preferences.Arrow }
            ]
            delegate: ShortcutRow {
                required property var modelData
                Layout.fillWidth: true
                label: modelData.label
                key: {
                    root.revision; // read again after every change
                    return root.preferences.shortcut(modelData.tool);
                }
                onKeyEdited: key => root.preferences.setShortcut(modelData.tool, key)
            }
        }

        Item {
            Layout.fillHeight: true
        }
    }
}
