import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Orrinvale

// The "General" tab: whether Orrinvale starts with the session, and what becomes of each
// new capture: copied, saved, where and under which name (with an example of the name);
// the languages Copy Text reads.
ColumnLayout {
    id: root
    required property Autostart autostart
    required property Preferences preferences

    /// "Choose..." asks for the desktop's folder chooser, which sets the save folder.
    signal folderChoiceRequested

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
        Layout.fillWidth: true
        visible: text.length > 0
        text: root.autostart.lastError
        wrapMode: Text.Wrap
        color: "#c62828"
    }

    CheckBox {
        objectName: "copyEachCapture"
        text: "Copy each new capture to the clipboard"
        checked: root.preferences.copyEachCapture
        onToggled: root.preferences.copyEachCapture = checked
    }

    CheckBox {
        objectName: "saveEachCapture"
        text: "Save each new capture to the folder"
        checked: root.preferences.saveEachCapture
        onToggled: root.preferences.saveEachCapture = checked
    }

    RowLayout {
        Layout.fillWidth: true
        spacing: 6

        Label {
            text: "Folder:"
        }
        TextField {
            objectName: "saveFolder"
            Layout.fillWidth: true
            text: root.preferences.saveFolder
            onEditingFinished: root.preferences.saveFolder = text
        }
        Button {
            text: "Choose..."
            onClicked: root.folderChoiceRequested()
        }
    }

    RowLayout {
        Layout.fillWidth: true
        spacing: 6

        Label {
            text: "Name:"
        }
        TextField {
            id: pattern
            objectName: "namePattern"
            Layout.fillWidth: true
            text: root.preferences.namePattern
            onEditingFinished: root.preferences.namePattern = text
        }
    }

    // What the pattern gives now, while it is typed (%n: the lowest free number).
    Label {
        objectName: "nameExample"
        Layout.fillWidth: true
        elide: Text.ElideMiddle
        text: SaveName.example(pattern.text)
        color: "#666666"
        font.pixelSize: 11
    }

    // The languages Copy Text reads: those whose language data is installed; the boxes
    // flow across the row.
    RowLayout {
        Layout.fillWidth: true
        spacing: 6

        Label {
            Layout.alignment: Qt.AlignTop
            topPadding: 6
            text: "Text:"
        }
        // At most three rows of boxes show; more languages scroll, so that the whole tab
        // stays inside the window however many are installed.
        ScrollView {
            id: languageScroll
            objectName: "textLanguageScroll"
            Layout.fillWidth: true
            Layout.preferredHeight: Math.min(languageFlow.implicitHeight, 3 * 26 + 2 * 2)
            contentWidth: availableWidth
            contentHeight: languageFlow.implicitHeight
            clip: true
            ScrollBar.horizontal.policy: ScrollBar.AlwaysOff

            Flow {
                id: languageFlow
                objectName: "textLanguages"
                width: languageScroll.availableWidth
                spacing: 2

                Repeater {
                    model: textLanguages.installed
                    CheckBox {
                        required property string modelData
                        objectName: "textLanguage_" + modelData
                        text: textLanguages.displayName(modelData)
                        checked: textLanguages.chosen.indexOf(modelData) >= 0
                        onToggled: {
                            textLanguages.setChosen(modelData, checked);
                            checked = Qt.binding(() => textLanguages.chosen.indexOf(modelData) >= 0);
                        }
                    }
                }
                Label {
                    visible: textLanguages.installed.length === 0
                    topPadding: 6
                    text: "No language data: install tesseract-ocr-eng"
                    color: "#c62828"
                }
            }
        }
    }

    TextLanguages {
        id: textLanguages
        preferences: root.preferences
    }
}
