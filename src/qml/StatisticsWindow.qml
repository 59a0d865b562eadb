import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import VexStyle 1.0
import "Controls"

// The one-time profile window over "statisticsViewModel": region, settlement,
// organisation and profession from the reference lists, room and full name.
FixedWindow {
    id: window

    property var viewModel: statisticsViewModel

    title: "Данные пользователя"
    // Offered at start-up while the client already works: it must not lock the
    // tray's windows until the user answers it.
    modality: Qt.NonModal
    // Wide enough for the longest error of the full name in two lines.
    width: 620
    height: content.implicitHeight + 48
    minimumWidth: 480
    minimumHeight: height

    function showWindow(activate) {
        show()
        raise()
        if (activate !== false)
            requestActivate()
    }

    function accept() {
        if (viewModel.applyCommand())
            close()
    }

    // A list choice that follows its model's index: a new list (the settlements
    // of another region) must not show a choice the model does not hold.
    component Choice: ElidingComboBox {
        property int selectedIndex: -1
        signal chosen(int index)

        Layout.fillWidth: true
        Component.onCompleted: currentIndex = selectedIndex
        onSelectedIndexChanged: currentIndex = selectedIndex
        onModelChanged: currentIndex = selectedIndex
        onActivated: chosen(index)
    }

    component Caption: Label {
        Layout.alignment: Qt.AlignTop
        Layout.topMargin: 8
    }

    ColumnLayout {
        id: content
        anchors.fill: parent
        anchors.margins: 24
        spacing: 16

        Image {
            Layout.alignment: Qt.AlignHCenter
            Layout.preferredHeight: window.viewModel.LogoHeight > 0 ? window.viewModel.LogoHeight : 36
            fillMode: Image.PreserveAspectFit
            source: "qrc:/replaceable/normal_logo.png"
        }

        Label {
            Layout.fillWidth: true
            horizontalAlignment: Text.AlignHCenter
            text: "Введите данные пользователя для начала работы"
            font.pixelSize: 16
            wrapMode: Text.WordWrap
        }

        GridLayout {
            Layout.fillWidth: true
            columns: 2
            columnSpacing: 12
            rowSpacing: 8

            Caption { text: "Регион" }
            Choice {
                id: comboBoxRegions
                model: window.viewModel.Regions
                selectedIndex: window.viewModel.SelectedRegionIndex
                onChosen: window.viewModel.SelectedRegionIndex = index
            }

            Caption { text: "Населенный пункт" }
            Choice {
                id: comboBoxCities
                enabled: window.viewModel.IsRegionSelected
                model: window.viewModel.Cities
                selectedIndex: window.viewModel.SelectedCityIndex
                onChosen: window.viewModel.SelectedCityIndex = index
            }

            Caption { text: "Организация" }
            Choice {
                id: comboBoxCompanies
                enabled: window.viewModel.IsCitySelected
                model: window.viewModel.Companies
                selectedIndex: window.viewModel.SelectedCompanyIndex
                onChosen: window.viewModel.SelectedCompanyIndex = index
            }

            Caption { text: "Специальность" }
            Choice {
                id: comboBoxProfessions
                model: window.viewModel.Professions
                selectedIndex: window.viewModel.SelectedProfessionIndex
                onChosen: window.viewModel.SelectedProfessionIndex = index
            }

            // Room for the longest error of each field at the window's width.
            Caption { text: "Кабинет" }
            ValidatableText {
                Layout.fillWidth: true
                viewModel: window.viewModel.WorkRoom
                errorLines: 1
            }

            Caption { text: "ФИО" }
            ValidatableText {
                Layout.fillWidth: true
                viewModel: window.viewModel.UserFullName
                errorLines: 2
            }
        }

        RowLayout {
            Layout.fillWidth: true

            Label {
                text: "v. " + Qt.application.version
                color: "#757575"
            }
            Item { Layout.fillWidth: true }
            Button {
                text: "Подтвердить"
                highlighted: true
                enabled: window.viewModel.IsValid
                onClicked: window.accept()
            }
        }
    }
}
