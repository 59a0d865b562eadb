import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import VexStyle 1.0

// The frame of the command edit windows: the fields go in its content;
// "Готово" checks them and writes them into the command, "Отмена" leaves it
// as it was. viewModel: a UserCommandEditModel.
FixedWindow {
    id: window

    property var viewModel
    // The column titles of the list the window was opened from.
    property string patternHeader
    property string textHeader
    default property alias content: fields.data

    function accept() {
        if (!viewModel || !viewModel.validate())
            return
        viewModel.apply()
        close()
    }

    // A dialog of the window that opened it (its transientParent).
    flags: Qt.Dialog
    modality: Qt.ApplicationModal
    width: 520
    height: Math.max(minimumHeight, fields.implicitHeight + 120)
    minimumWidth: 420
    minimumHeight: 220

    Shortcut {
        sequences: ["Return", "Enter"]
        onActivated: window.accept()
    }

    ColumnLayout {
        id: fields
        anchors.fill: parent
        anchors.margins: 16
        spacing: 6
    }

    footer: Pane {
        RowLayout {
            anchors.right: parent.right
            spacing: 8

            Button {
                text: "Готово"
                highlighted: true
                onClicked: window.accept()
            }
            Button {
                text: "Отмена"
                onClicked: window.close()
            }
        }
    }
}
