import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import "../Controls"

// The "Сеть" page: the recognition server's address and ports and the ports of
// the local servers for web forms. viewModel: NetworkSettingsViewModel.
Item {
    id: root
    property var viewModel

    implicitWidth: page.implicitWidth + 32
    implicitHeight: page.implicitHeight + 32

    // The longest caption sets the caption width of both groups, so their fields line up.
    TextMetrics {
        id: widest
        font: caption.font
        text: "Порт REST прокси"
    }
    Label { id: caption; visible: false }

    component FieldLabel: Label {
        Layout.alignment: Qt.AlignTop
        Layout.topMargin: 8
    }

    // One edit field over a ValidatableText: the text goes to the model on every
    // edit, the model's error shows below it and takes the focus when apply fails.
    // Unlike Controls/ValidatableText the field may be narrower than its error.
    component CheckedField: ColumnLayout {
        id: checked
        property var field
        property alias placeholderText: input.placeholderText
        property int maximumLength: 255
        // -1: as wide as the column; the error below always is.
        property int fieldWidth: -1
        spacing: 2
        // A narrow field still takes the column's width, so the captions keep theirs.
        Layout.fillWidth: true
        Layout.maximumWidth: Number.POSITIVE_INFINITY

        TextField {
            id: input
            Layout.fillWidth: checked.fieldWidth < 0
            Layout.preferredWidth: checked.fieldWidth
            selectByMouse: true
            maximumLength: checked.maximumLength
            text: checked.field ? checked.field.Text : ""
            onTextEdited: checked.field.set_Text(text)
            background: FieldFrame {
                invalid: checked.field ? !checked.field.IsValid : false
                focused: input.activeFocus
            }
        }
        ErrorLabel {
            Layout.fillWidth: true
            text: checked.field ? checked.field.Error : ""
        }
        Connections {
            target: checked.field
            function onValidateFailed() {
                input.cursorPosition = input.length
                input.forceActiveFocus()
            }
        }
    }

    Loader {
        id: page
        anchors.fill: parent
        anchors.margins: 16
        active: !!root.viewModel
        sourceComponent: ColumnLayout {
            spacing: 12

            GroupBox {
                title: "Сервер распознавания"
                Layout.fillWidth: true
                visible: root.viewModel.ClientOnly

                GridLayout {
                    anchors.fill: parent
                    columns: 2
                    columnSpacing: 12
                    rowSpacing: 8

                    FieldLabel { Layout.minimumWidth: widest.advanceWidth; text: "Адрес" }
                    CheckedField {
                        Layout.fillWidth: true
                        field: root.viewModel.ASRServerHost
                        placeholderText: "IP адрес или имя сервера"
                    }
                    FieldLabel { Layout.minimumWidth: widest.advanceWidth; text: "Порт" }
                    CheckedField {
                        fieldWidth: 120
                        field: root.viewModel.ASRServerPort
                        maximumLength: 5
                    }
                    FieldLabel { Layout.minimumWidth: widest.advanceWidth; text: "REST порт" }
                    CheckedField {
                        fieldWidth: 120
                        field: root.viewModel.ASRServerRestPort
                        maximumLength: 5
                    }
                }
            }

            GroupBox {
                title: "Локальные серверы для веб-форм"
                Layout.fillWidth: true

                GridLayout {
                    anchors.fill: parent
                    columns: 2
                    columnSpacing: 12
                    rowSpacing: 8

                    FieldLabel { Layout.minimumWidth: widest.advanceWidth; text: "Порт веб-форм" }
                    CheckedField {
                        fieldWidth: 120
                        field: root.viewModel.FormAPIPort
                        maximumLength: 5
                    }
                    FieldLabel { Layout.minimumWidth: widest.advanceWidth; text: "Порт REST прокси" }
                    CheckedField {
                        fieldWidth: 120
                        field: root.viewModel.RestProxyPort
                        maximumLength: 5
                    }
                }
            }

            Label {
                Layout.fillWidth: true
                visible: root.viewModel.LastConnectionError !== ""
                text: "Последняя ошибка подключения: " + root.viewModel.LastConnectionError
                color: "#d32f2f"
                wrapMode: Text.WordWrap
            }

            Item { Layout.fillHeight: true }
        }
    }
}
