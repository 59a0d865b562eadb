import QtQuick 2.15
import QtQuick.Controls 2.15

// A one-line field bound to a validatable field object: every edit goes to set_Text;
// the object's error shows under the field, and a failed check takes the focus.
Column {
    id: control

    property QtObject viewModel
    // Room kept for the error below the field (see ErrorLabel).
    property alias errorLines: error.reservedLines
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
        onTextEdited: {
            verdict.touched = true
            if (control.viewModel)
                control.viewModel.set_Text(text)
        }
        onActiveFocusChanged: if (!activeFocus) verdict.touched = true
        background: FieldFrame {
            invalid: verdict.shown
            focused: field.activeFocus
        }
        Component.onCompleted: if (control.viewModel && control.viewModel.IsFocused) forceActiveFocus()
    }

    FieldVerdict {
        id: verdict
        viewModel: control.viewModel
        text: field.text
    }

    ErrorLabel {
        id: error
        width: control.width
        text: verdict.error
    }

    Connections {
        target: control.viewModel
        ignoreUnknownSignals: true
        function onValidateFailed() {
            verdict.touched = true
            control.takeFocus()
        }
    }
}
