import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import "../Controls"

// The "Распознавание" page: the theme and the recognition options.
// viewModel: RecognitionSettingsViewModel.
Item {
    id: root
    property var viewModel

    implicitWidth: page.implicitWidth + 32
    implicitHeight: page.implicitHeight + 32

    Loader {
        id: page
        anchors.fill: parent
        anchors.margins: 16
        active: !!root.viewModel
        sourceComponent: ColumnLayout {
            spacing: 10

            Image {
                source: "qrc:/replaceable/normal_logo.png"
                fillMode: Image.PreserveAspectFit
                Layout.preferredHeight: root.viewModel.LogoHeight
                Layout.preferredWidth: root.viewModel.LogoHeight * sourceSize.width / Math.max(1, sourceSize.height)
                visible: root.viewModel.LogoHeight > 0
            }

            GridLayout {
                Layout.fillWidth: true
                Layout.topMargin: 4
                visible: root.viewModel.ThemeSelectEnabled
                columns: 2
                columnSpacing: 12

                Label {
                    Layout.alignment: Qt.AlignTop
                    Layout.topMargin: 12
                    text: "Словари"
                }
                ThemesSelectorControl {
                    Layout.fillWidth: true
                    itemsSource: root.viewModel.ThemeChooseViewModel
                }
            }

            CheckBox {
                text: "Не показывать окно выбора словаря при запуске"
                checked: root.viewModel.IsThemeAutoSelect
                onToggled: root.viewModel.IsThemeAutoSelect = checked
            }
            CheckBox {
                text: "Непрерывная отправка звука на сервер"
                checked: root.viewModel.SendingMode
                onToggled: root.viewModel.SendingMode = checked
            }
            CheckBox {
                text: "Заглавная буква в начале диктовки"
                checked: root.viewModel.CapitalLetterAfterStart
                onToggled: root.viewModel.CapitalLetterAfterStart = checked
            }
            CheckBox {
                visible: root.viewModel.PunctuationEnabled
                text: "Расстановка знаков препинания сервером"
                checked: root.viewModel.UsePunctuation
                onToggled: root.viewModel.UsePunctuation = checked
            }
            CheckBox {
                visible: root.viewModel.CanEnableKivaro
                text: "Разрешить редактирование списка «Мои слова»"
                checked: root.viewModel.CanEditKivaroWords
                onToggled: root.viewModel.CanEditKivaroWords = checked
            }

            Item { Layout.fillHeight: true }
        }
    }
}
