import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import "../Controls"

// The "Синтез" page: the voice offered by the server and the speed.
// viewModel: SynthesisSettingsViewModel.
Item {
    id: root
    property var viewModel

    implicitWidth: page.implicitWidth + 32
    implicitHeight: page.implicitHeight + 32

    Loader {
        id: page
        anchors.fill: parent
        anchors.margins: 16
        active: !!root.viewModel
        sourceComponent: ColumnLayout {
            spacing: 12

            Label {
                Layout.fillWidth: true
                visible: root.viewModel.ErrorMessage !== ""
                text: root.viewModel.ErrorMessage
                color: "#d32f2f"
                wrapMode: Text.WordWrap
            }

            GridLayout {
                Layout.fillWidth: true
                enabled: root.viewModel.IsTtsEnabled
                columns: 3
                columnSpacing: 12
                rowSpacing: 8

                Label { text: "Голос" }
                ElidingComboBox {
                    id: voices
                    Layout.fillWidth: true
                    Layout.columnSpan: 2
                    model: root.viewModel.Voices
                    currentIndex: root.viewModel.SelectedVoiceIndex
                    displayText: count > 0 ? currentText
                               : root.viewModel.VoicesLoading ? "Список голосов загружается…"
                               : "Список голосов недоступен"
                    onActivated: root.viewModel.SelectedVoiceIndex = index
                    Connections {
                        target: root.viewModel
                        function onChanged_SelectedVoiceIndex(index) { voices.currentIndex = index }
                    }
                }

                Label { text: "Скорость" }
                Slider {
                    id: speed
                    Layout.fillWidth: true
                    from: 0.5
                    to: 2.0
                    stepSize: 0.1
                    snapMode: Slider.SnapAlways
                    value: root.viewModel.TTSSpeed
                    onMoved: root.viewModel.TTSSpeed = value
                }
                Label {
                    text: speed.value.toFixed(1)
                    Layout.preferredWidth: 32
                    horizontalAlignment: Text.AlignRight
                }
            }

            Item { Layout.fillHeight: true }
        }
    }
}
