import QtQuick 2.15
import QtQuick.Controls 2.15

// A one-line field bound to a validatable field object: every edit goes to set_Text;
// the object's error shows under the field, and a failed check takes the focus.
Column {
    id: control

    property QtObject viewModel
    property alias placeholderText: field.placeholderText
    property alias readOnly: field.readOnly
    property alias inputMethodHints: field.inputMethodHints

    spacing: 2

    // At the end of the text, where a correction usually goes.
    function takeFocus() {
        field.cursorPosition = field.length
        field.forceActiveFocus()
    }

    TextField {
        id: field
        width: control.width
        selectByMouse: true
        text: control.viewModel ? control.viewModel.Text : ""
        onTextEdited: if (control.viewModel) control.viewModel.set_Text(text)
        background: FieldFrame {
            invalid: control.viewModel ? !control.viewModel.IsValid : false
            focused: field.activeFocus
        }
        Component.onCompleted: if (control.viewModel && control.viewModel.IsFocused) forceActiveFocus()
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
