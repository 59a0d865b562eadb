import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// The recognition monitor: the microphone, the interim text, the theme, and on
// demand the gain control. viewModel: MonitorViewModel.
Pane {
    id: root
    property var viewModel

    signal themeChoiceRequested()

    padding: 10
    implicitWidth: 380
    background: Rectangle {
        color: "#263238"
        radius: 6
    }
    // Dark, so that it reads over any window; the controls inside follow it.
    palette.window: "#263238"
    palette.windowText: "#ECEFF1"
    palette.base: "#37474F"
    palette.text: "#ECEFF1"
    palette.button: "#37474F"
    palette.buttonText: "#ECEFF1"
    palette.light: "#455A64"
    palette.midlight: "#546E7A"
    palette.mid: "#78909C"
    palette.dark: "#39DEE2"
    palette.highlight: "#39DEE2"
    palette.highlightedText: "#263238"

    ColumnLayout {
        anchors.fill: parent
        spacing: 6
        visible: !!root.viewModel

        RowLayout {
            Layout.fillWidth: true
            spacing: 10

            MicView {
                viewModel: root.viewModel
            }
            ResultView {
                Layout.fillWidth: true
                Layout.fillHeight: true
                viewModel: root.viewModel
            }
            AbstractButton {
                id: stop
                Layout.alignment: Qt.AlignTop
                implicitWidth: 24
                implicitHeight: 24
                hoverEnabled: true
                ToolTip.visible: hovered
                ToolTip.text: "Остановить распознавание"
                onClicked: root.viewModel.closeCommand()
                background: Rectangle {
                    radius: width / 2
                    color: stop.hovered ? "#455A64" : "transparent"
                }
                contentItem: Label {
                    text: "\u2715"
                    horizontalAlignment: Text.AlignHCenter
                    verticalAlignment: Text.AlignVCenter
                }
            }
        }

        GainView {
            Layout.fillWidth: true
            visible: !!root.viewModel && root.viewModel.GainVisible
            viewModel: root.viewModel
        }

        ThemeView {
            Layout.fillWidth: true
            viewModel: root.viewModel
            onThemeChoiceRequested: root.themeChoiceRequested()
        }
    }
}
