import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import "../../../Controls" as Controls

// A voice command that types a document: the phrase, the document chosen with
// "...", and the text it would type (or, in red, why it cannot be read).
// viewModel: FileCopyEditModel.
EditWindow {
    id: window

    height: 480

    Label { text: window.patternHeader }
    Controls.ValidatableText {
        Layout.fillWidth: true
        viewModel: window.viewModel ? window.viewModel.Pattern : null
        Component.onCompleted: takeFocus()
    }

    Label { text: window.textHeader; Layout.topMargin: 6 }
    RowLayout {
        Layout.fillWidth: true
        spacing: 6

        Controls.ValidatableText {
            // The control takes its width from the layout: it has none of its own.
            Layout.preferredWidth: 200
            Layout.fillWidth: true
            Layout.alignment: Qt.AlignTop
            viewModel: window.viewModel ? window.viewModel.FilePath : null
            readOnly: true
        }
        Button {
            Layout.alignment: Qt.AlignTop
            text: "..."
            implicitWidth: 40
            onClicked: window.viewModel.selectFile()
        }
    }

    ScrollView {
        Layout.fillWidth: true
        Layout.fillHeight: true
        Layout.minimumHeight: 120
        Layout.topMargin: 6
        clip: true
        background: Rectangle { color: "#fafafa"; border.color: "#bdbdbd"; radius: 2 }

        TextArea {
            readOnly: true
            selectByMouse: true
            wrapMode: TextEdit.Wrap
            text: window.viewModel ? window.viewModel.PreviewText : ""
            color: window.viewModel && window.viewModel.IsError ? "red" : "#707070"
        }
    }
}
