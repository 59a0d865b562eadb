import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import "../Controls"

// The "Запуск" page: autostart, voice and keyboard activation, output to a
// background window. viewModel: LaunchSettingsViewModel.
Item {
    id: root
    property var viewModel

    implicitWidth: page.implicitWidth + 32
    implicitHeight: page.implicitHeight + 32

    // A phrase field indented under its check box.
    component PhraseField: TextField {
        Layout.fillWidth: true
        Layout.leftMargin: 32
        selectByMouse: true
        maximumLength: 100
    }

    Loader {
        id: page
        anchors.fill: parent
        anchors.margins: 16
        active: !!root.viewModel
        sourceComponent: ColumnLayout {
            spacing: 8

            Label {
                text: "Запуск приложения"
                font.bold: true
            }
            CheckBox {
                text: "Запускать автоматически при входе в систему"
                enabled: root.viewModel.IsAutoStartEnabled
                checked: root.viewModel.IsAutoStart
                onToggled: root.viewModel.IsAutoStart = checked
            }

            ColumnLayout {
                Layout.fillWidth: true
                visible: root.viewModel.IsVACSettingsVisible
                spacing: 4

                CheckBox {
                    text: "Активация голосовой командой"
                    checked: root.viewModel.IsVoiceActivationEnabled
                    onToggled: root.viewModel.IsVoiceActivationEnabled = checked
                }
                PhraseField {
                    enabled: root.viewModel.IsVoiceActivationEnabled
                    text: root.viewModel.VoiceActivationCommand
                    onTextEdited: root.viewModel.VoiceActivationCommand = text
                }
                CheckBox {
                    text: "Деактивация голосовой командой"
                    checked: root.viewModel.IsVoiceDeactivationEnabled
                    onToggled: root.viewModel.IsVoiceDeactivationEnabled = checked
                }
                PhraseField {
                    enabled: root.viewModel.IsVoiceDeactivationEnabled
                    text: root.viewModel.VoiceDeactivationCommand
                    onTextEdited: root.viewModel.VoiceDeactivationCommand = text
                }
            }

            GridLayout {
                Layout.fillWidth: true
                Layout.topMargin: 4
                columns: 2
                columnSpacing: 12
                rowSpacing: 4

                WrappingRadioButton {
                    Layout.fillWidth: true
                    text: "Активация/деактивация клавиатурой"
                    checked: root.viewModel.IsHotKey
                    onToggled: {
                        root.viewModel.IsHotKey = checked
                        root.viewModel.IsPushToTalk = !checked
                    }
                }
                ElidingComboBox {
                    id: hotKeys
                    // Never cut, and as wide as the other: the text beside it wraps instead.
                    Layout.minimumWidth: Math.max(200, hotKeys.implicitWidth, pushToTalkKeys.implicitWidth)
                    fitsWidestChoice: true
                    enabled: root.viewModel.IsHotKey
                    model: root.viewModel.HotKeys.Items
                    currentIndex: root.viewModel.HotKeys.CurrentIndex
                    onActivated: root.viewModel.HotKeys.CurrentIndex = index
                    Connections {
                        target: root.viewModel.HotKeys
                        function onChanged_CurrentIndex(index) { hotKeys.currentIndex = index }
                    }
                }
                WrappingRadioButton {
                    Layout.fillWidth: true
                    text: "Активация/деактивация при нажатой клавише"
                    checked: root.viewModel.IsPushToTalk
                    onToggled: {
                        root.viewModel.IsPushToTalk = checked
                        root.viewModel.IsHotKey = !checked
                    }
                }
                ElidingComboBox {
                    id: pushToTalkKeys
                    // Never cut, and as wide as the other: the text beside it wraps instead.
                    Layout.minimumWidth: Math.max(200, hotKeys.implicitWidth, pushToTalkKeys.implicitWidth)
                    fitsWidestChoice: true
                    enabled: root.viewModel.IsPushToTalk
                    model: root.viewModel.Push2TalkKeys.Items
                    currentIndex: root.viewModel.Push2TalkKeys.CurrentIndex
                    onActivated: root.viewModel.Push2TalkKeys.CurrentIndex = index
                    Connections {
                        target: root.viewModel.Push2TalkKeys
                        function onChanged_CurrentIndex(index) { pushToTalkKeys.currentIndex = index }
                    }
                }
            }
            Label {
                visible: !root.viewModel.IsHotKeysAvaliable
                text: "Активация клавиатурой отключена"
                color: "#AF2F00"
            }

            CheckBox {
                Layout.topMargin: 4
                text: "Режим вывода в фоновое окно"
                checked: root.viewModel.IsWriteToControl
                onToggled: root.viewModel.IsWriteToControl = checked
            }

            Item { Layout.fillHeight: true }
        }
    }
}
