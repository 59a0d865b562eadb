import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import VexStyle 1.0
import "../Controls"

// The feedback form over "feedbackViewModel": the theme, the user's name and
// e-mail and the text of the report. Sending closes it; the result comes as a
// tray message. Closing it otherwise offers to keep a changed text as a draft.
FixedWindow {
    id: window

    property var viewModel: feedbackViewModel
    // Set once the report is on its way: that close asks nothing.
    property bool sent: false

    title: "Обратная связь"
    width: 560
    height: content.implicitHeight + 32
    minimumWidth: 460
    minimumHeight: height

    function showWindow(activate) {
        if (!visible) {
            sent = false
            viewModel.IsCloseConfirmed = false
            viewModel.onLoad()
            show()
        }
        raise()
        if (activate !== false)
            requestActivate()
    }

    function send() {
        if (!viewModel.applyCommand())
            return
        sent = true
        close()
    }

    onClosing: {
        if (sent)
            return
        if (!viewModel.cancelCommand()) {
            close.accepted = false
            return
        }
        viewModel.IsCloseConfirmed = true
    }

    component Caption: Label {
        Layout.fillWidth: true
        Layout.topMargin: 4
        wrapMode: Text.WordWrap
    }

    ColumnLayout {
        id: content
        anchors.fill: parent
        anchors.margins: 16
        spacing: 6

        Caption { text: "Выберите словарь" }
        ThemesSelectorControl {
            Layout.fillWidth: true
            itemsSource: window.viewModel.ThemeChooseViewModel
        }

        Caption { text: "Фамилия Имя Отчество" }
        ValidatableText {
            Layout.fillWidth: true
            viewModel: window.viewModel.FullName
        }

        Caption { text: "Электронная почта" }
        ValidatableText {
            Layout.fillWidth: true
            viewModel: window.viewModel.Email
            inputMethodHints: Qt.ImhEmailCharactersOnly
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.topMargin: 4

            Caption {
                Layout.topMargin: 0
                text: "Введите слово или словосочетание, которое необходимо улучшить"
            }
            // The help on writing a useful report.
            RoundButton {
                id: help
                text: "?"
                padding: 0
                implicitWidth: 24
                implicitHeight: 24
                Layout.alignment: Qt.AlignBottom
                hoverEnabled: true
                ToolTip.visible: hovered || pressed
                ToolTip.text: window.viewModel.Tooltip
                ToolTip.delay: 300
            }
        }
        ValidatableTextArea {
            Layout.fillWidth: true
            areaHeight: 160
            viewModel: window.viewModel.FeedbackText
        }

        CheckBox {
            id: consent
            visible: window.viewModel.UserConsentVisible
            text: "Разрешаю обработку и хранение персональных данных"
            checked: window.viewModel.UserConsentRequested
            onToggled: window.viewModel.UserConsentRequested = checked
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.topMargin: 8

            Label {
                Layout.fillWidth: true
                visible: consent.visible && !consent.checked
                text: window.viewModel.TooltipUserConsent
                color: "#757575"
                font.pixelSize: 12
                wrapMode: Text.WordWrap
            }
            Item { Layout.fillWidth: true; visible: !(consent.visible && !consent.checked) }
            Button {
                text: "Отправить"
                highlighted: true
                enabled: window.viewModel.SendEnabled
                onClicked: window.send()
            }
        }
    }
}
