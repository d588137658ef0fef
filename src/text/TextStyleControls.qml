import QtQuick
import QtQuick.Controls as QQC
import Orrinvale

// The toolbar's text style group: a divider, the "Bg" plate switch, the family list and the
// size stepper. They show the selected text box's style, or the style of new boxes, and
// write it only when the user changes them.
Row {
    id: controls
    required property EditorState editor
    readonly property TextStyle style: textStyle

    spacing: 15

    TextStyle {
        id: textStyle
        editor: controls.editor
    }

    Rectangle {
        anchors.verticalCenter: parent.verticalCenter
        width: 1
        height: 20
        color: Qt.darker(SystemColors.windowBackground, 1.25)
    }

    QQC.CheckBox {
        objectName: "backgroundSwitch"
        anchors.verticalCenter: parent.verticalCenter
        text: "Bg"
        focusPolicy: Qt.NoFocus
        checked: textStyle.activeTextHasBackground
        onToggled: textStyle.activeTextHasBackground = checked
    }

    MacFontPicker {
        anchors.verticalCenter: parent.verticalCenter
        width: 180
        families: textStyle.fontFamilies
        selection: textStyle.activeFontName
        onPicked: family => textStyle.activeFontName = family
    }

    QQC.SpinBox {
        objectName: "fontSizeStepper"
        anchors.verticalCenter: parent.verticalCenter
        width: 90
        from: 8
        to: 144
        stepSize: 2
        editable: false
        focusPolicy: Qt.NoFocus
        value: textStyle.activeFontSize
        textFromValue: (value, locale) => textStyle.sizeLabel(value)
        onValueModified: textStyle.activeFontSize = value
    }
}
