import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// The settings window's content: one tab per group of settings.
Page {
    id: root
    width: 400
    height: 350

    header: TabBar {
        id: tabs
        TabButton { text: "Shortcuts" }
    }

    StackLayout {
        anchors.fill: parent
        currentIndex: tabs.currentIndex

        Item {
            Label {
                anchors.centerIn: parent
                text: "Tool shortcuts will be set here."
            }
        }
    }
}
