import QtQuick 2.15
import QtQuick.Window 2.15
import VexStyle 1.0
import "Views/MonitorViews"

// The monitor over "monitorViewModel", shown while dictation runs. It never
// takes the keyboard focus: the text goes to the window the user works in.
FixedWindow {
    id: window

    signal themeChoiceRequested()

    title: "Монитор распознавания"
    flags: Qt.Tool | Qt.FramelessWindowHint | Qt.WindowStaysOnTopHint | Qt.WindowDoesNotAcceptFocus
    color: "transparent"
    width: view.implicitWidth
    height: view.implicitHeight
    x: Screen.virtualX + Screen.desktopAvailableWidth - width - 24
    y: Screen.virtualY + 24

    // Shown by call: a child window of the hidden main view ignores a bound "visible".
    function follow() {
        if (monitorViewModel.Visible)
            show()
        else
            hide()
    }
    Component.onCompleted: follow()
    Connections {
        target: monitorViewModel
        function onChanged_Visible() { window.follow() }
    }

    MonitorView {
        id: view
        anchors.fill: parent
        viewModel: monitorViewModel
        onThemeChoiceRequested: window.themeChoiceRequested()
    }

    // Frameless: dragged by its body.
    DragHandler {
        target: null
        onActiveChanged: if (active) window.startSystemMove()
    }
}
