import QtQuick 2.15
import QtQuick.Controls 2.15

// A multi-line field bound to a validatable field object, like ValidatableText.
Column {
    id: control

    property QtObject viewModel
    property alias placeholderText: area.placeholderText
    property alias readOnly: area.readOnly
    property real areaHeight: 120

    spacing: 2

    // At the end of the text, where a correction usually goes.
    function takeFocus() {
        area.cursorPosition = area.length
        area.forceActiveFocus()
    }

    ScrollView {
        width: control.width
        height: control.areaHeight
        background: FieldFrame {
            invalid: control.viewModel ? !control.viewModel.IsValid : false
            focused: area.activeFocus
        }

        TextArea {
            id: area
            selectByMouse: true
            wrapMode: TextEdit.Wrap
            text: control.viewModel ? control.viewModel.Text : ""
            // TextArea has no textEdited: only user edits differ from the object's text.
            onTextChanged: if (control.viewModel && text !== control.viewModel.Text) control.viewModel.set_Text(text)
            Component.onCompleted: if (control.viewModel && control.viewModel.IsFocused) forceActiveFocus()
        }
    }

    ErrorLabel {
        width: control.width
        text: control.viewModel ? control.viewModel.Error : ""
    }

    Connections {
        target: control.viewModel
        ignoreUnknownSignals: true
        function onValidateFailed() { control.takeFocus() }
    }
}
