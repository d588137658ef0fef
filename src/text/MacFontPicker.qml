import QtQuick
import QtQuick.Controls as QQC

// The font family list of the toolbar: every installed family, in the font database's order,
// with `selection` shown even when it names none of them (a name such as "Helvetica" that
// fontconfig maps to another family). Picking an item reports it; changing `selection` from
// outside reports nothing. Never takes the keyboard, so tool keys keep working.
QQC.ComboBox {
    id: picker
    required property string selection
    required property var families
    signal picked(string family)

    objectName: "fontPicker"
    focusPolicy: Qt.NoFocus
    model: families
    currentIndex: find(selection)
    displayText: selection
    onActivated: index => picker.picked(textAt(index))
}
