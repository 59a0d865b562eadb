import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// The "Пользователь" page: the stored profile, read-only, and its reset.
// viewModel: StatisticsSettingsViewModel.
Item {
    id: root
    property var viewModel

    implicitWidth: page.implicitWidth + 32
    implicitHeight: page.implicitHeight + 32

    component Caption: Label {
        Layout.alignment: Qt.AlignTop
        color: "#616161"
    }

    // Selectable, so that a code or an OID can be copied for support.
    component Value: TextEdit {
        Layout.fillWidth: true
        readOnly: true
        selectByMouse: true
        wrapMode: Text.Wrap
        font: caption.font
        color: "#212121"
    }

    Label { id: caption; visible: false }

    Loader {
        id: page
        anchors.fill: parent
        anchors.margins: 16
        active: !!root.viewModel
        sourceComponent: ColumnLayout {
            spacing: 12

            Label {
                text: "Сведения о пользователе"
                font.bold: true
                font.pixelSize: 15
            }

            GridLayout {
                Layout.fillWidth: true
                columns: 2
                columnSpacing: 16
                rowSpacing: 8

                Caption { text: "Код региона" }
                Value { text: root.viewModel.RegionCode }
                Caption { text: "Название региона" }
                Value { text: root.viewModel.RegionName }
                Caption { text: "Населённый пункт" }
                Value { text: root.viewModel.AreaName }
                Caption { text: "Название организации" }
                Value { text: root.viewModel.OrganisationName }
                Caption { text: "Полное название организации" }
                Value { text: root.viewModel.OrganisationFullName }
                Caption { text: "OID организации" }
                Value { text: root.viewModel.OrganisationOID }
                Caption { text: "ОГРН организации" }
                Value { text: root.viewModel.OrganisationPSRN }
                Caption { text: "Номер кабинета"; visible: root.viewModel.isRoomFiledVisible }
                Value { text: root.viewModel.Room; visible: root.viewModel.isRoomFiledVisible }
                Caption { text: "ФИО" }
                Value { text: root.viewModel.UserFullName }
                Caption { text: "Специальность" }
                Value { text: root.viewModel.UserSpecialisation }
            }

            Item { Layout.fillHeight: true }

            Button {
                text: "Сбросить"
                onClicked: root.viewModel.resetCommand()
            }
        }
    }
}
