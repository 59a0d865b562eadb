import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import "../Controls"

// The start-up theme choice: the product, the installed themes and whether to
// ask again at the next start. viewModel: RecognitionSettingsViewModel.
Pane {
    id: root
    property var viewModel

    signal accepted()
    signal rejected()

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
            text: "Программное обеспечение для преобразования речи в текст"
            wrapMode: Text.WordWrap
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
            text: "Выберите один из установленных словарей"
            font.bold: true
            wrapMode: Text.WordWrap
        }
        ThemesSelectorControl {
            id: selector
            Layout.fillWidth: true
            itemsSource: root.viewModel ? root.viewModel.ThemeChooseViewModel : null
        }

        WrappingCheckBox {
            id: remember
            Layout.fillWidth: true
            text: "Запомнить мой выбор и не показывать окно"
            checked: root.viewModel ? root.viewModel.IsThemeAutoSelect : false
            onToggled: root.viewModel.IsThemeAutoSelect = checked
        }
        Label {
            Layout.fillWidth: true
            Layout.leftMargin: remember.indicator.width + remember.spacing + remember.leftPadding
            Layout.topMargin: -8
            text: "Изменить сделанные настройки можно в меню \"Настройки\" - \"Запуск\""
            color: "#5f6368"
            font.pixelSize: 12
            wrapMode: Text.WordWrap
        }

        RowLayout {
            Layout.alignment: Qt.AlignRight
            Layout.topMargin: 8
            spacing: 8
            Button {
                text: "Отмена"
                onClicked: root.rejected()
            }
            Button {
                text: "Готово"
                highlighted: true
                onClicked: root.accepted()
            }
        }
    }
}
