import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Orrinvale

// The "General" tab: whether Orrinvale starts with the session.
ColumnLayout {
    id: root
    required property Autostart autostart

    spacing: 8

    CheckBox {
        id: startAtLogin
        objectName: "startAtLogin"
        text: "Start at login"
        checked: root.autostart.enabled
        // The file decides: after a click the box shows what is on disk, also when
        // writing failed.
        onToggled: {
            root.autostart.requestEnabled(checked);
            checked = Qt.binding(() => root.autostart.enabled);
        }
    }

    Label {
        objectName: "autostartError"
        Layout.maximumWidth: 360
        visible: text.length > 0
        text: root.autostart.lastError
        wrapMode: Text.Wrap
        color: "#c62828"
    }
}
