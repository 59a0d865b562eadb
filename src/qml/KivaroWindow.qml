import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import VexStyle 1.0
import "Controls" as Controls

// The user's word list over "kivaroViewModel": the words as free text, saved
// and sent to the server by "Сохранить"; closing with unsaved changes asks first.
FixedWindow {
    id: window

    title: "Мои слова"
    width: 540
    height: 520
    minimumWidth: 440
    minimumHeight: 520

    function showWindow() {
        if (!visible) {
            kivaroViewModel.onLoad()
            show()
            words.takeFocus()
        }
        raise()
        requestActivate()
    }

    // The words, with the cursor at their end, where new ones go.
    function focusFirstField() { words.takeFocus() }

    onClosing: close.accepted = kivaroViewModel.cancelCommand()

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 16
        spacing: 8

        Label {
            Layout.fillWidth: true
            text: "Слова, которым нужно научить распознавание:"
        }
        Controls.ValidatableTextArea {
            id: words
            Layout.fillWidth: true
            areaHeight: 220
            viewModel: kivaroViewModel.KivaroWords
        }
        Label {
            Layout.fillWidth: true
            text: kivaroViewModel.Tooltip.trim()
            color: "#707070"
            font.pixelSize: 12
            wrapMode: Text.WordWrap
        }
        Item { Layout.fillHeight: true }
    }

    footer: Pane {
        RowLayout {
            anchors.right: parent.right
            spacing: 8

            Button {
                text: "Сохранить"
                highlighted: true
                enabled: kivaroViewModel.CanSave
                onClicked: kivaroViewModel.applyCommand()
            }
            Button {
                text: "Закрыть"
                onClicked: window.close()
            }
        }
    }
}
