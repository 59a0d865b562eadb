import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import "../Controls"

// The "Звук" page: microphone and output device. A choice takes effect at once;
// the window's cancel puts back what it opened with. viewModel: AudioDeviceSettingsViewModel.
Item {
    id: root
    property var viewModel

    implicitWidth: page.implicitWidth + 32
    implicitHeight: page.implicitHeight + 32

    // The device list, the following of newly plugged devices and the live level
    // of one device manager page (AudioDeviceListViewModel).
    component DeviceChoice: ColumnLayout {
        id: choice
        property var viewModel
        property string trackText
        spacing: 8

        ElidingComboBox {
            id: devices
            Layout.fillWidth: true
            model: choice.viewModel.Devices
            currentIndex: choice.viewModel.SelectedDeviceIndex
            displayText: currentIndex < 0 ? "Нет устройства" : currentText
            // Only the user's choice goes to the model: a reset caused by a new list must not switch devices.
            onActivated: choice.viewModel.SelectedDeviceIndex = index
            Connections {
                target: choice.viewModel
                function onChanged_SelectedDeviceIndex(idx) { devices.currentIndex = idx }
            }
        }
        CheckBox {
            text: choice.trackText
            checked: choice.viewModel.IsTrackChanges
            onToggled: choice.viewModel.IsTrackChanges = checked
        }
        RowLayout {
            spacing: 12
            Label { text: "Уровень" }
            ProgressBar {
                Layout.fillWidth: true
                from: 0
                to: 100
                value: choice.viewModel.CurrentLevel
            }
        }
    }

    // The microphone: device, following new devices, gain and the live input level.
    // viewModel: RecordingDeviceManagerViewModel.
    component RecordingDeviceSettings: GroupBox {
        id: recording
        property var viewModel
        title: "Микрофон"

        ColumnLayout {
            anchors.fill: parent
            spacing: 8

            DeviceChoice {
                Layout.fillWidth: true
                viewModel: recording.viewModel
                trackText: "Переключаться на вновь подключённый микрофон"
            }
            RowLayout {
                spacing: 12
                Label { text: "Усиление" }
                Slider {
                    id: gain
                    Layout.fillWidth: true
                    from: 0
                    to: 100
                    stepSize: 1
                    value: recording.viewModel.Gain
                    onMoved: recording.viewModel.Gain = value
                }
                Label {
                    text: Math.round(gain.value) + " %"
                    Layout.preferredWidth: 48
                    horizontalAlignment: Text.AlignRight
                }
            }
        }
    }

    // The output device for synthesised speech and signals, with its live level.
    // viewModel: PlaybackDeviceManagerViewModel.
    component PlaybackDeviceSettings: GroupBox {
        id: playback
        property var viewModel
        title: "Воспроизведение"

        DeviceChoice {
            anchors.fill: parent
            viewModel: playback.viewModel
            trackText: "Переключаться на вновь подключённое устройство"
        }
    }

    Loader {
        id: page
        anchors.fill: parent
        anchors.margins: 16
        active: !!root.viewModel
        sourceComponent: ColumnLayout {
            spacing: 12

            RecordingDeviceSettings {
                Layout.fillWidth: true
                viewModel: root.viewModel.RecordingDevice
            }
            PlaybackDeviceSettings {
                Layout.fillWidth: true
                viewModel: root.viewModel.PlaybackDevice
            }
            Item { Layout.fillHeight: true }
        }
    }
}
