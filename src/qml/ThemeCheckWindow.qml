import QtQuick 2.15
import QtQuick.Window 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// The start-up theme check: the connection waits until the user confirms.
Window {
    id: root
    title: "Выбор темы"
    modality: Qt.ApplicationModal
    width: 360
    height: 140

    function accept() {
        root.close()
        windowsManager.themeCheckSuccess()
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 16

        Label {
            text: "Выберите один из установленных словарей"
            Layout.fillWidth: true
            wrapMode: Text.WordWrap
        }

        RowLayout {
            Layout.alignment: Qt.AlignRight
            Button {
                text: "Отмена"
                onClicked: root.close()
            }
            Button {
                text: "Готово"
                onClicked: root.accept()
            }
        }
    }
}
