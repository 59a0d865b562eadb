import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// The microphone gain, changed here by the user. viewModel: MonitorViewModel.
RowLayout {
    id: root
    property var viewModel

    spacing: 8

    Label {
        text: "Усиление"
    }
    Slider {
        id: slider
        Layout.fillWidth: true
        from: 0
        to: 100
        stepSize: 1
        value: root.viewModel ? root.viewModel.Gain : 0
        // Only a move by the user applies and stores; the model's own changes only show.
        onMoved: root.viewModel.Gain = Math.round(value)
    }
    Label {
        Layout.preferredWidth: 36
        horizontalAlignment: Text.AlignRight
        text: Math.round(slider.value) + "%"
    }
}
