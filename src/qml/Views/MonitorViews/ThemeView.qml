import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import "../../Controls"

// The selected theme with a link to change it: in a pane of the monitor, or in
// the separate choice window when the build asks for it. viewModel: MonitorViewModel.
ColumnLayout {
    id: root
    property var viewModel
    readonly property bool open: !!viewModel && viewModel.ThemeVisible

    signal themeChoiceRequested()

    spacing: 6

    function change() {
        if (viewModel.AlternateThemeView) {
            themeChoiceRequested()
            return
        }
        viewModel.ThemeVisible = !viewModel.ThemeVisible
    }

    // The pane has a choice of its own: a settings window open meanwhile keeps its edits.
    onOpenChanged: if (open) viewModel.loadThemeChoice()

    function apply() {
        if (viewModel.applyThemeChoice())
            viewModel.ThemeVisible = false
    }

    RowLayout {
        Layout.fillWidth: true
        spacing: 8
        Label {
            Layout.fillWidth: true
            text: root.viewModel && root.viewModel.ThemeName !== "" ? "Словарь: " + root.viewModel.ThemeName
                                                                    : "Словарь по умолчанию"
            opacity: 0.75
            elide: Text.ElideRight
            font.pixelSize: 12
        }
        Label {
            text: "<a href=\"change\">Изменить</a>"
            linkColor: root.viewModel && root.viewModel.DescColor !== "" ? root.viewModel.DescColor : "#39DEE2"
            font.pixelSize: 12
            onLinkActivated: root.change()
            MouseArea {
                anchors.fill: parent
                acceptedButtons: Qt.NoButton
                cursorShape: Qt.PointingHandCursor
            }
        }
    }

    ThemesSelectorControl {
        Layout.fillWidth: true
        visible: root.open
        itemsSource: root.viewModel ? root.viewModel.ThemeChooseViewModel : null
    }
    RowLayout {
        Layout.alignment: Qt.AlignRight
        visible: root.open
        spacing: 8
        Button {
            text: "Отмена"
            flat: true
            onClicked: root.viewModel.ThemeVisible = false
        }
        Button {
            text: "Применить"
            palette.button: "#39DEE2"
            palette.buttonText: "#263238"
            onClicked: root.apply()
        }
    }
}
