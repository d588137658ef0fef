import QtQuick
import Orrinvale

// The stack: a column of capture thumbnails, newest on top.
Item {
    id: root
    required property ScreenshotManager manager

    ListView {
        id: column
        anchors.fill: parent
        visible: root.manager.isVisible
        model: root.manager.screenshots
        spacing: 15
        clip: false
        boundsBehavior: Flickable.StopAtBounds
        header: Item { width: 1; height: 40 }
        footer: Item { width: 1; height: 20 }

        delegate: ImageItem {
            required property int index
            required property var thumbnail
            required property size pointSize

            x: (column.width - width) / 2
            width: 230
            height: pointSize.width > 0 ? Math.round(230 * pointSize.height / pointSize.width) : 0
            image: thumbnail

            TapHandler {
                onTapped: root.manager.requestPreview(index)
            }
        }
    }
}
