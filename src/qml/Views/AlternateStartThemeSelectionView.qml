import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import "../Controls"

// The start-up choice of a specialisation: one button per theme; choosing one
// answers the window. viewModel: RecognitionSettingsViewModel.
Pane {
    id: root
    property var viewModel
    readonly property QtObject chooser: viewModel ? viewModel.ThemeChooseViewModel : null

    signal accepted()

    padding: 20
    implicitWidth: 480

    ColumnLayout {
        anchors.fill: parent
        spacing: 10
        visible: !!root.viewModel

        Image {
            Layout.alignment: Qt.AlignHCenter
            source: "qrc:/replaceable/thin_logo.png"
        }
        Label {
            Layout.fillWidth: true
            horizontalAlignment: Text.AlignHCenter
            text: "v. " + Qt.application.version
            color: "#5f6368"
        }
        Label {
            Layout.fillWidth: true
            Layout.topMargin: 8
            text: "Выберите специализацию для работы"
            font.bold: true
            wrapMode: Text.WordWrap
        }

        ListView {
            id: themes
            Layout.fillWidth: true
            Layout.preferredHeight: Math.min(contentHeight, 320)
            clip: true
            model: root.chooser ? root.chooser.ThemeChoices : null
            ScrollBar.vertical: ScrollBar {}
            delegate: ThemeSelectButton {
                width: themes.width
                name: modelData.Name
                description: modelData.Description
                onSelectTheme: {
                    root.chooser.SelectedValidatedThemeIndex.IntValue = index
                    root.accepted()
                }
            }
        }
        Label {
            Layout.fillWidth: true
            visible: themes.count === 0
            text: root.chooser ? root.chooser.SelectedValidatedThemeIndex.Error : ""
            color: "#CE3535"
            wrapMode: Text.WordWrap
        }

        WrappingCheckBox {
            Layout.fillWidth: true
            text: "Запомнить мой выбор и не показывать окно"
            checked: root.viewModel ? root.viewModel.IsThemeAutoSelect : false
            onToggled: root.viewModel.IsThemeAutoSelect = checked
        }
    }
}
