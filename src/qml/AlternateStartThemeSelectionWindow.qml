import QtQuick 2.15
import "Views"

// The choice of a specialisation, in place of the theme choice when the build asks for it.
ThemeSelectionDialog {
    id: window
    title: "Выбор специализации"
    view: content

    AlternateStartThemeSelectionView {
        id: content
        anchors.fill: parent
        viewModel: recognitionSettingsViewModel
        onAccepted: window.accept()
    }
}
