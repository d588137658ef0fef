import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Orrinvale

// The settings pane of the tool shortcuts: one row per tool, in two columns (one where a
// larger font makes a row wider than half the pane), every edit stored at once.
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

    // Two columns of equal width between the margins, or one as wide as they are.
    readonly property real halfWidth: (width - 2 * 16 - 24) / 2
    readonly property real widestRow: {
        let widest = 0;
        for (let i = 0; i < grid.children.length; ++i)
            widest = Math.max(widest, grid.children[i].implicitWidth);
        return widest;
    }
    readonly property bool twoColumns: widestRow <= halfWidth
    readonly property real columnWidth: twoColumns ? halfWidth : width - 2 * 16

    // 240 high, or as high as the rows need with a larger font.
    width: 380
    height: implicitHeight
    implicitWidth: 380
    implicitHeight: Math.max(240, rows.implicitHeight + 2 * 16)

    ColumnLayout {
        id: rows
        anchors.fill: parent
        anchors.margins: 16
        spacing: 4

        Label {
            Layout.bottomMargin: 5 - parent.spacing
            text: "Tool Shortcuts"
            textFormat: Text.PlainText
            font.weight: Font.Bold
        }

        // Six rows a column, the first column the tools of the toolbar's first row.
        GridLayout {
            id: grid
            Layout.fillWidth: true
            flow: GridLayout.TopToBottom
            rows: root.twoColumns ? 6 : 11
            columnSpacing: 24
            rowSpacing: 4

            ShortcutRow {
                Layout.preferredWidth: root.columnWidth
                label: "Select/Resize"
                key: root.keyOf(Preferences.Pointer)
                onKeyEdited: key => root.preferences.setShortcut(Preferences.Pointer, key)
            }
            ShortcutRow {
                Layout.preferredWidth: root.columnWidth
                label: "Text"
                key: root.keyOf(Preferences.Text)
                onKeyEdited: key => root.preferences.setShortcut(Preferences.Text, key)
            }
            ShortcutRow {
                Layout.preferredWidth: root.columnWidth
                label: "Pen"
                key: root.keyOf(Preferences.Pen)
                onKeyEdited: key => root.preferences.setShortcut(Preferences.Pen, key)
            }
            ShortcutRow {
                Layout.preferredWidth: root.columnWidth
                label: "Box"
                key: root.keyOf(Preferences.Rectangle)
                onKeyEdited: key => root.preferences.setShortcut(Preferences.Rectangle, key)
            }
            ShortcutRow {
                Layout.preferredWidth: root.columnWidth
                label: "Line"
                key: root.keyOf(Preferences.Line)
                onKeyEdited: key => root.preferences.setShortcut(Preferences.Line, key)
            }
            ShortcutRow {
                Layout.preferredWidth: root.columnWidth
                label: "Arrow"
                key: root.keyOf(Preferences.Arrow)
                onKeyEdited: key => root.preferences.setShortcut(Preferences.Arrow, key)
            }
            ShortcutRow {
                Layout.preferredWidth: root.columnWidth
                label: "Ellipse"
                key: root.keyOf(Preferences.Ellipse)
                onKeyEdited: key => root.preferences.setShortcut(Preferences.Ellipse, key)
            }
            ShortcutRow {
                Layout.preferredWidth: root.columnWidth
                label: "Highlighter"
                key: root.keyOf(Preferences.Highlighter)
                onKeyEdited: key => root.preferences.setShortcut(Preferences.Highlighter, key)
            }
            ShortcutRow {
                Layout.preferredWidth: root.columnWidth
                label: "Step"
                key: root.keyOf(Preferences.Step)
                onKeyEdited: key => root.preferences.setShortcut(Preferences.Step, key)
            }
            ShortcutRow {
                Layout.preferredWidth: root.columnWidth
                label: "Redact"
                key: root.keyOf(Preferences.Redact)
                onKeyEdited: key => root.preferences.setShortcut(Preferences.Redact, key)
            }
            ShortcutRow {
                Layout.preferredWidth: root.columnWidth
                label: "Crop"
                key: root.keyOf(Preferences.Crop)
                onKeyEdited: key => root.preferences.setShortcut(Preferences.Crop, key)
            }
        }

        Item {
            Layout.fillHeight: true
        }
    }
}
