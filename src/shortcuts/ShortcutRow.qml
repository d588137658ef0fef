import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Orrinvale

// One tool's shortcut: its name, and at the right edge a small field holding its key.
RowLayout {
    id: row

    property string label
    // The stored key; an edit is offered through keyEdited and comes back through here.
    property string key
    readonly property alias field: field

    signal keyEdited(string key)

    ShortcutKeyInput {
        id: input
        key: row.key
        onKeyEdited: key => row.keyEdited(key)
    }

    Label {
        Layout.alignment: Qt.AlignVCenter
        text: row.label
        textFormat: Text.PlainText
    }

    Item {
        Layout.fillWidth: true
    }

    TextField {
        id: field
        Layout.alignment: Qt.AlignVCenter
        Layout.preferredWidth: 40
        topPadding: 3
        bottomPadding: 3
        leftPadding: 4
        rightPadding: 4
        horizontalAlignment: TextInput.AlignHCenter
        placeholderText: ""
        selectByMouse: true
        text: input.key
        onTextEdited: input.edit(text)
    }
}
