import QtQuick 2.15
import QtQuick.Controls 2.15

// A multi-line field bound to a validatable field object, like ValidatableText.
Column {
    id: control

    property QtObject viewModel
    // Room kept for the error below the field (see ErrorLabel).
    property alias errorLines: error.reservedLines
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
            invalid: verdict.shown
            focused: area.activeFocus
        }

        TextArea {
            id: area
            selectByMouse: true
            wrapMode: TextEdit.Wrap
            text: control.viewModel ? control.viewModel.Text : ""
            // TextArea has no textEdited: only user edits differ from the object's text.
            onTextChanged: {
                if (control.viewModel && text !== control.viewModel.Text) {
                    verdict.touched = true
                    control.viewModel.set_Text(text)
                }
            }
            onActiveFocusChanged: if (!activeFocus) verdict.touched = true
            Component.onCompleted: if (control.viewModel && control.viewModel.IsFocused) forceActiveFocus()
        }
    }

    FieldVerdict {
        id: verdict
        viewModel: control.viewModel
        text: area.text
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
