import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import VexStyle 1.0

// The self-test window over "selfTestViewModel": ping counters, the loop
// switch, the run buttons and the run's log. While it is open the microphone
// and the typing of results are off; closing it, however, brings them back.
FixedWindow {
    id: window

    property var viewModel: selfTestViewModel
    property bool loaded: false

    title: "Тесты"
    width: 560
    height: 560
    minimumWidth: 460
    minimumHeight: 420

    function showWindow(activate) {
        show()
        raise()
        if (activate !== false)
            requestActivate()
    }

    function release() {
        if (loaded) {
            loaded = false
            viewModel.close()
        }
    }

    onVisibleChanged: {
        if (visible && !loaded) {
            loaded = true
            viewModel.load()
        } else if (!visible) {
            release()
        }
    }
    Component.onDestruction: release()

    Connections {
        target: window.viewModel
        function onClearLog() { log.text = "" }
        function onAppendLog(text) {
            // Each entry starts a line of its own: no blank first line.
            log.insert(log.length, log.length === 0 ? text.replace(/^\n+/, "") : text)
            log.cursorPosition = log.length
        }
    }

    component Caption: Label {
        Layout.fillWidth: true
    }
    component Counter: Label {
        Layout.alignment: Qt.AlignRight
        font.bold: true
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 16
        spacing: 12

        GridLayout {
            Layout.fillWidth: true
            columns: 2
            columnSpacing: 24
            rowSpacing: 6

            Caption { text: "Ping запросы" }
            Counter { text: window.viewModel.PingCount }
            Caption { text: "Ping ответы" }
            Counter { text: window.viewModel.PongCount }
            Caption { text: "Минимальная задержка, мс" }
            Counter { text: window.viewModel.MinDelay }
            Caption { text: "Максимальная задержка, мс" }
            Counter { text: window.viewModel.MaxDelay }
            Caption { text: "Средняя задержка, мс" }
            Counter { text: window.viewModel.AvgDelay.toFixed(2) }
        }

        CheckBox {
            text: "Зациклить"
            checked: window.viewModel.Loop
            onToggled: window.viewModel.set_Loop(checked)
        }

        ScrollView {
            Layout.fillWidth: true
            Layout.fillHeight: true
            background: Rectangle {
                color: "white"
                border.color: "#bdbdbd"
            }

            TextArea {
                id: log
                readOnly: true
                selectByMouse: true
                wrapMode: TextEdit.Wrap
                font.family: "monospace"
            }
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 8

            Button {
                text: "Сбросить"
                onClicked: window.viewModel.clear()
            }
            Item { Layout.fillWidth: true }
            Button {
                text: "Старт"
                highlighted: true
                enabled: window.viewModel.IsConnected && !window.viewModel.IsStarted
                onClicked: window.viewModel.start()
            }
            Button {
                text: "Стоп"
                enabled: window.viewModel.IsStarted
                onClicked: window.viewModel.stop()
            }
            Button {
                text: "Выход"
                onClicked: window.close()
            }
        }
    }
}
