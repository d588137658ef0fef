import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Orrinvale

// The settings window's content: one tab per group of settings.
Page {
    id: root
    required property Preferences preferences
    required property Autostart autostart

    signal folderChoiceRequested

    width: 400
    height: 350

    header: TabBar {
        id: tabs
        TabButton {
            text: "Shortcuts"
            icon.name: "input-keyboard"
        }
        TabButton {
            text: "General"
            icon.name: "preferences-system"
        }
    }

    StackLayout {
        anchors.fill: parent
        currentIndex: tabs.currentIndex

        // The keys, centred; where a larger font makes them taller than the tab, they scroll.
        Flickable {
            id: shortcutsTab
            objectName: "shortcutsTab"
            clip: true
            contentWidth: width
            contentHeight: Math.max(height, shortcuts.height)
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.vertical: ScrollBar {
                policy: shortcutsTab.contentHeight > shortcutsTab.height ? ScrollBar.AlwaysOn
                                                                         : ScrollBar.AlwaysOff
            }

            ShortcutSettingsView {
                id: shortcuts
                anchors.centerIn: parent
                preferences: root.preferences
            }
        }

        Item {
            GeneralSettingsView {
                // The folder and the name pattern take what width the window has.
                anchors.centerIn: parent
                width: parent.width - 40
                autostart: root.autostart
                preferences: root.preferences
                onFolderChoiceRequested: root.folderChoiceRequested()
            }
        }
    }
}
