import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Window 2.15

// The interim text: over the bottom of the window that receives the text when
// its place is known, else in the monitor itself. viewModel: MonitorViewModel.
Item {
    id: root
    property var viewModel
    readonly property string text: viewModel ? viewModel.ResultText : ""
    readonly property bool overInput: !!viewModel && viewModel.TooltipOnInputWindow
    readonly property color descColor: viewModel && viewModel.DescColor !== "" ? viewModel.DescColor : "#B0BEC5"

    implicitWidth: 240
    implicitHeight: line.implicitHeight

    Label {
        id: line
        anchors.fill: parent
        verticalAlignment: Text.AlignVCenter
        // The newest words are at the end; the notice is read whole.
        elide: notice ? Text.ElideNone : Text.ElideLeft
        wrapMode: notice ? Text.WordWrap : Text.NoWrap
        readonly property bool notice: !!root.viewModel && root.viewModel.ResultsIgnored && root.text === ""
        text: root.text !== "" && !root.overInput ? root.text
              : !root.viewModel ? ""
              : root.viewModel.ResultsIgnored ? "Пока открыто окно «Тесты», текст не печатается"
              : root.viewModel.Loading ? "Подождите…" : "Говорите…"
        color: root.text !== "" && !root.overInput ? "#FFFFFF" : root.descColor
        font.italic: root.text === "" || root.overInput
    }

    Window {
        id: tooltip
        readonly property rect target: root.viewModel ? root.viewModel.InputWindowRect : Qt.rect(0, 0, 0, 0)
        flags: Qt.ToolTip | Qt.FramelessWindowHint | Qt.WindowStaysOnTopHint | Qt.WindowDoesNotAcceptFocus
        visible: root.overInput && root.text !== "" && root.viewModel.Visible
        color: "#263238"
        width: Math.min(Math.max(target.width - 16, 160), Math.ceil(tipText.implicitWidth) + 28)
        height: tipText.implicitHeight + 12
        x: target.x + 8
        y: Math.max(target.y, target.y + target.height - height - 8)

        Label {
            id: tipText
            anchors.fill: parent
            anchors.margins: 6
            anchors.leftMargin: 12
            anchors.rightMargin: 12
            text: root.text
            color: "#FFFFFF"
            elide: Text.ElideLeft
            verticalAlignment: Text.AlignVCenter
        }
    }
}
