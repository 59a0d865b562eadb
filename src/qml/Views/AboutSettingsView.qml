import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// The "О программе" page: product, version, client id, links, the local manual
// and the diagnostic archive. viewModel: AboutSettingsViewModel.
Item {
    id: root
    property var viewModel

    implicitWidth: page.implicitWidth
    implicitHeight: page.implicitHeight

    Loader {
        id: page
        anchors.fill: parent
        active: !!root.viewModel
        sourceComponent: RowLayout {
            spacing: 0

            Rectangle {
                Layout.fillHeight: true
                Layout.preferredWidth: root.viewModel.BackgroundWidth
                visible: root.viewModel.BackgroundWidth > 0
                color: root.viewModel.BackgroundColor !== "" ? root.viewModel.BackgroundColor : "transparent"

                Image {
                    anchors { top: parent.top; horizontalCenter: parent.horizontalCenter; topMargin: 24 }
                    width: parent.width - 24
                    fillMode: Image.PreserveAspectFit
                    source: "qrc:/replaceable/normal_logo.png"
                }
            }

            ColumnLayout {
                Layout.fillWidth: true
                Layout.fillHeight: true
                Layout.margins: 16
                spacing: 10

                Label {
                    Layout.fillWidth: true
                    text: root.viewModel.AppDescription
                    font.bold: true
                    wrapMode: Text.WordWrap
                }
                Label {
                    id: version
                    text: "Версия: " + root.viewModel.Version
                }
                TextEdit {
                    // Selectable, so that the id can be copied for support; the id
                    // on a line of its own, never broken at one of its hyphens.
                    Layout.fillWidth: true
                    text: root.viewModel.ClientId.replace(": ", ":\n")
                    readOnly: true
                    selectByMouse: true
                    wrapMode: Text.Wrap
                    color: version.color
                    font: version.font
                }
                Label {
                    visible: root.viewModel.SupportLink !== ""
                    text: "Поддержка: <a href=\"" + root.viewModel.SupportLink + "\">" + root.viewModel.SupportLink
                          + "</a>"
                    onLinkActivated: Qt.openUrlExternally(link)
                }
                Label {
                    visible: root.viewModel.AppLink !== ""
                    text: "Сайт: <a href=\"" + root.viewModel.AppLink + "\">" + root.viewModel.AppLink + "</a>"
                    onLinkActivated: Qt.openUrlExternally(link)
                }

                Item { Layout.fillHeight: true }

                RowLayout {
                    spacing: 8
                    Button {
                        visible: root.viewModel.VisibleManual
                        text: "Руководство пользователя"
                        onClicked: Qt.openUrlExternally("file://" + root.viewModel.LocalHelpFile)
                    }
                    Button {
                        visible: root.viewModel.EnableTutorial
                        text: "Обучение"
                        onClicked: root.viewModel.openTutorial()
                    }
                    Button {
                        text: "Сохранить информацию о системе…"
                        onClicked: root.viewModel.getSystemInfo()
                    }
                }
            }
        }
    }
}
