import QtQuick 2.15
import QtQuick.Controls 2.15

// The microphone: a ring that grows with the input level while dictation runs,
// a spinner while a mode starts or stops. A click opens the gain control.
// viewModel: MonitorViewModel.
Item {
    id: root
    property var viewModel
    readonly property bool live: !!viewModel && viewModel.Visible && !viewModel.Loading
    readonly property color accent: "#39DEE2"

    implicitWidth: 40
    implicitHeight: 40

    Rectangle {
        id: level
        anchors.centerIn: parent
        width: parent.width
        height: width
        radius: width / 2
        color: "transparent"
        border.color: root.accent
        border.width: 2
        opacity: root.live ? 0.35 + Math.min(root.viewModel.SoundLevel, 100) / 150 : 0
        scale: root.live ? 0.7 + Math.min(root.viewModel.SoundLevel, 100) / 333 : 0.7
        Behavior on scale { NumberAnimation { duration: 120 } }
    }

    Rectangle {
        id: disc
        anchors.centerIn: parent
        width: parent.width * 0.7
        height: width
        radius: width / 2
        color: root.live ? root.accent : "#607D8B"

        // The glyph: the capsule, its holder and the stand.
        Rectangle {
            id: capsule
            x: (parent.width - width) / 2
            y: parent.height * 0.18
            width: parent.width * 0.26
            height: parent.height * 0.4
            radius: width / 2
            color: "#263238"
        }
        Item {
            x: (parent.width - width) / 2
            y: capsule.y + capsule.height * 0.45
            width: parent.width * 0.44
            height: capsule.height * 0.75
            clip: true
            Rectangle {
                y: -height / 2
                width: parent.width
                height: parent.height * 2
                radius: width / 2
                color: "transparent"
                border.color: "#263238"
                border.width: 2
            }
        }
        Rectangle {
            x: (parent.width - width) / 2
            y: capsule.y + capsule.height * 1.2
            width: 2
            height: parent.height * 0.12
            color: "#263238"
        }
    }

    BusyIndicator {
        anchors.fill: parent
        running: !!root.viewModel && root.viewModel.Loading
        visible: running
    }

    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onClicked: root.viewModel.GainVisible = !root.viewModel.GainVisible
    }

    ToolTip.visible: area.containsMouse
    ToolTip.text: "Усиление микрофона"
}
