import QtQuick
import Orrinvale

// The editable text inside a text box: plain text on unwrapped lines, exactly as large as
// its text (TextBoxController measures it the way the export does), typed text written
// into the record at every key. It takes the keyboard when its box starts editing and lets
// go when asked; Escape in it ends editing.
TextEdit {
    id: field
    required property TextBoxController controller

    objectName: "textField"
    width: controller.idealSize.width
    height: controller.idealSize.height
    textFormat: TextEdit.PlainText
    wrapMode: TextEdit.NoWrap
    font: controller.font
    color: controller.resolvedTextColor
    selectByMouse: true
    persistentSelection: false

    function takeFocus() {
        forceActiveFocus();
    }

    function releaseFocus() {
        if (activeFocus)
            focus = false;
    }

    // Text from the record, when it differs from what the field shows (never while typing,
    // which wrote it): the selection is kept if it still fits.
    function show(value) {
        if (text === value)
            return;
        const start = selectionStart;
        const end = selectionEnd;
        text = value;
        if (end <= value.length)
            select(start, end);
    }

    Component.onCompleted: show(controller.text)
    onTextChanged: {
        if (text !== controller.text)
            controller.textEdited(text);
    }
    Keys.onEscapePressed: controller.cancelEditing()

    Connections {
        target: field.controller
        function onTextChanged() {
            field.show(field.controller.text);
        }
    }
}
