import QtQuick 2.15
import "Views"

// The theme choice asked for at start-up, also from the monitor.
ThemeSelectionDialog {
    id: window
    title: "Выбор темы"
    view: content

    StartThemeSelectionView {
        id: content
        anchors.fill: parent
        viewModel: recognitionSettingsViewModel
        onAccepted: window.accept()
        onRejected: window.cancel()
    }

    Shortcut {
        sequences: ["Return", "Enter"]
        onActivated: window.accept()
    }
}
