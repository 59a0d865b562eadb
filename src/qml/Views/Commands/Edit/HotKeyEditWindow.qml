import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import "../../../Controls" as Controls

// A voice command that presses a key chord: the chord is taken from the keys
// pressed while the chord field has the focus; the check boxes add modifiers
// the desktop would keep for itself. viewModel: HotKeyEditModel.
EditWindow {
    id: window

    // Only the chord field captures keys: typing the phrase must not change the chord.
    onVisibleChanged: {
        if (!viewModel)
            return
        if (visible)
            viewModel.attachWindow(chord)
        else
            viewModel.detachWindow(chord)
    }

    Label { text: window.patternHeader }
    Controls.ValidatableText {
        Layout.fillWidth: true
        viewModel: window.viewModel ? window.viewModel.Pattern : null
        Component.onCompleted: takeFocus()
    }

    Label { text: window.textHeader; Layout.topMargin: 6 }
    TextField {
        id: chord
        objectName: "chordField"
        Layout.fillWidth: true
        readOnly: true
        placeholderText: "Нажмите сочетание клавиш"
        text: window.viewModel ? window.viewModel.Text.Text : ""
        background: Controls.FieldFrame {
            invalid: window.viewModel ? !window.viewModel.Text.IsValid : false
            focused: chord.activeFocus
        }
        Connections {
            target: window.viewModel ? window.viewModel.Text : null
            function onValidateFailed() { chord.forceActiveFocus() }
        }
    }
    Controls.ErrorLabel {
        Layout.fillWidth: true
        text: window.viewModel ? window.viewModel.Text.Error : ""
    }

    GridLayout {
        columns: 2
        columnSpacing: 24
        rowSpacing: 0
        Layout.topMargin: 4

        CheckBox {
            text: "Эмулировать CTRL"
            focusPolicy: Qt.NoFocus
            checked: window.viewModel ? window.viewModel.ModCtrl : false
            onToggled: window.viewModel.ModCtrl = checked
        }
        CheckBox {
            text: "Эмулировать ALT"
            focusPolicy: Qt.NoFocus
            checked: window.viewModel ? window.viewModel.ModAlt : false
            onToggled: window.viewModel.ModAlt = checked
        }
        CheckBox {
            text: "Эмулировать SHIFT"
            focusPolicy: Qt.NoFocus
            checked: window.viewModel ? window.viewModel.ModShift : false
            onToggled: window.viewModel.ModShift = checked
        }
        CheckBox {
            text: "Эмулировать WIN"
            focusPolicy: Qt.NoFocus
            checked: window.viewModel ? window.viewModel.ModWin : false
            onToggled: window.viewModel.ModWin = checked
        }
    }

    Item { Layout.fillHeight: true }
}
