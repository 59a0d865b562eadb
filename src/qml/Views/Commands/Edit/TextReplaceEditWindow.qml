import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Dialogs 1.3
import QtQuick.Layouts 1.15
import "../../../Controls" as Controls

// A phrase and its text: an auto-replace rule or, with the file chooser, a
// program to start. viewModel: TextReplaceEditModel or ProcessExecuteEditModel.
EditWindow {
    id: window

    property bool fileSelectVisible: false

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
            viewModel: window.viewModel ? window.viewModel.Text : null
        }
        Button {
            Layout.alignment: Qt.AlignTop
            visible: window.fileSelectVisible
            text: "..."
            implicitWidth: 40
            onClicked: fileDialog.open()
        }
    }

    Item { Layout.fillHeight: true }

    FileDialog {
        id: fileDialog
        title: window.textHeader
        selectExisting: true
        onAccepted: window.viewModel.Text.set_Text(fileUrl.toString())
    }
}
