import QtQuick
import Orrinvale

// The stack: a column of capture thumbnails, newest on top, at the right of the screen.
// Geometry and scrolling come from StackColumn; clicks and drags go to the manager and to
// DragOut. Only the thumbnails are ever drawn: the panel around them stays transparent.
Item {
    id: root
    required property ScreenshotManager manager
    // Set by the application; without them thumbnails cannot be dragged out and the motion
    // fades as if a compositor ran (as in tests).
    property DragOut dragOut: null
    property PanelShape shape: null
    // Without a compositor a half-transparent pixel shows darkened, not blended: then the
    // stack only slides.
    readonly property bool fades: !shape || shape.compositing

    // The one motion of the stack: about half a second, critically damped (no overshoot).
    component Spring: NumberAnimation {
        duration: 500
        easing.type: Easing.BezierSpline
        easing.bezierCurve: [0.25, 0.2, 0.21, 0.97, 1, 1]
    }

    StackColumn {
        id: column
        model: root.manager.screenshots
        width: root.width
        viewHeight: root.height
    }

    // Mouse wheels and touchpads scroll the column; there is nothing to scroll sideways.
    WheelHandler {
        target: null
        onWheel: (event) => column.scroll(event.angleDelta, event.pixelDelta)
    }

    Item {
        id: stack
        width: root.width
        height: root.height
        // 1 shown, 0 hidden: the column slides out to the right and fades, and back.
        property real presence: root.manager.isVisible ? 1 : 0
        Behavior on presence { Spring {} }
        visible: presence > 0
        opacity: root.fades ? presence : 1
        transform: Translate { x: (1 - stack.presence) * root.width }

        Item {
            id: content
            y: -column.scrollY
            width: root.width
            height: column.contentHeight

            Repeater {
                model: root.manager.screenshots

                delegate: Item {
                    id: thumb
                    required property int index
                    required property var thumbnail

                    // The shape of the panel window follows the items of this name.
                    objectName: "stackThumbnail"
                    readonly property rect slot: column.rects[index] ?? Qt.rect(0, 0, 0, 0)
                    // New thumbnails slide in from the right while fading in.
                    property real entrance: 0
                    // Off until the first position is in: a new thumbnail appears in place,
                    // the ones below it then move down.
                    property bool settled: false

                    x: slot.x
                    y: slot.y
                    width: slot.width
                    height: slot.height
                    opacity: root.fades ? entrance : 1
                    transform: Translate { x: (1 - thumb.entrance) * root.width }
                    Behavior on y {
                        enabled: thumb.settled
                        Spring {}
                    }
                    Spring on entrance { from: 0; to: 1 }
                    Component.onCompleted: Qt.callLater(() => { thumb.settled = true })

                    ThumbnailShadow {
                        anchors.fill: parent
                    }
                    ImageItem {
                        anchors.fill: parent
                        image: thumb.thumbnail
                        smooth: true
                    }

                    TapHandler {
                        onTapped: root.manager.requestPreview(thumb.index)
                    }
                    // The capture's menu; the panel's empty parts take no clicks at all.
                    TapHandler {
                        acceptedButtons: Qt.RightButton
                        onTapped: root.manager.requestContextMenu(thumb.index)
                    }
                    DragHandler {
                        id: dragHandler
                        target: null
                        onActiveChanged: {
                            if (active && root.dragOut)
                                root.dragOut.start(thumb.index)
                        }
                    }
                }
            }
        }
    }
}
