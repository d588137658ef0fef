import QtQuick
import Orrinvale

// The editor window's content: the capture fitted on a neutral backdrop.
Rectangle {
    id: root
    required property EditorSession session

    color: "#808080"

    ImageItem {
        anchors.fill: parent
        anchors.margins: 30
        image: root.session.image
    }
}
