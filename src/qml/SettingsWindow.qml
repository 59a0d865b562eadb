import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import VexStyle 1.0

// The settings window over "settingsViewModel": one tab per page shown for the
// connection state at opening. Closing it any other way than "Сохранить"
// cancels, so that pages which act at once (the microphone) are put back.
FixedWindow {
    id: window

    // Fixed at each opening: the container refills its pages on load.
    property var pages: []
    property bool settled: false

    readonly property string emptyView: "qrc:/EmptyWindow.qml"
    readonly property var pageViews: ({
        "AudioDeviceSettingsViewModel": "qrc:/Views/AudioDeviceSettingsView.qml",
        "LaunchSettingsViewModel": "qrc:/Views/LaunchSettingsView.qml",
        "RecognitionSettingsViewModel": "qrc:/Views/RecognitionSettingsView.qml",
        "SynthesisSettingsViewModel": "qrc:/Views/SynthesisSettingsView.qml",
        "NetworkSettingsViewModel": "qrc:/Views/NetworkSettingsView.qml",
        "AboutSettingsViewModel": "qrc:/Views/AboutSettingsView.qml",
        "StatisticsSettingsViewModel": "qrc:/Views/StatisticsSettingsView.qml"
    })

    title: "Настройки"
    // Wide enough for every tab title side by side, whatever the font (see showSettings).
    width: 780
    height: 560
    minimumWidth: 780
    minimumHeight: 420

    function viewOf(className) {
        var url = pageViews[className]
        // A page whose view this program does not have shows an empty one.
        if (!url || Qt.createComponent(url).status !== Component.Ready)
            return emptyView
        return url
    }

    function showSettings() {
        if (!visible) {
            settled = false
            settingsViewModel.onLoad()
            pages = settingsViewModel.InnerSettings
            // Load selects the first page without announcing it.
            tabs.currentIndex = settingsViewModel.currentIndex
            // Before showing: a window that widens while shown lays its header over the page.
            minimumWidth = Math.max(780, Math.ceil(tabs.naturalWidth))
            width = Math.max(width, minimumWidth)
            show()
        }
        raise()
        requestActivate()
    }

    function save() {
        if (!settingsViewModel.applyCommand())
            return
        settled = true
        close()
    }

    function cancel() {
        settingsViewModel.cancelCommand()
        settled = true
        close()
    }

    onClosing: {
        if (!settled)
            settingsViewModel.cancelCommand()
        settled = true
        settingsViewModel.onClose()
    }

    Connections {
        target: settingsViewModel
        function onChanged_currentIndex(index) { tabs.currentIndex = index }
    }

    header: TabBar {
        id: tabs

        // The titles side by side, with the bar's spacing between them.
        readonly property real naturalWidth: {
            var natural = 0
            for (var i = 0; i < tabTitles.count; ++i)
                natural += tabTitles.itemAt(i) ? tabTitles.itemAt(i).implicitWidth : 0
            return natural + Math.max(0, tabTitles.count - 1) * spacing
        }
        // Room left beside the titles, shared out so that the tabs fill the bar
        // (measured on the window: the bar itself is as wide as its tabs at first).
        readonly property real spare: tabTitles.count > 0 ? Math.max(0, (window.width - naturalWidth) / tabTitles.count) : 0

        onCurrentIndexChanged: if (currentIndex >= 0) settingsViewModel.currentIndex = currentIndex

        Repeater {
            id: tabTitles
            model: window.pages
            TabButton {
                text: modelData.HeaderText
                leftPadding: 12
                rightPadding: 12
                width: implicitWidth + tabs.spare
            }
        }
    }

    StackLayout {
        anchors.fill: parent
        anchors.margins: 12
        currentIndex: tabs.currentIndex

        Repeater {
            model: window.pages
            Loader {
                Component.onCompleted: setSource(window.viewOf(modelData.ClassName), { "viewModel": modelData })
            }
        }
    }

    footer: Pane {
        RowLayout {
            anchors.right: parent.right
            spacing: 8

            Button {
                text: "Сохранить"
                highlighted: true
                onClicked: window.save()
            }
            Button {
                text: "Отмена"
                onClicked: window.cancel()
            }
        }
    }
}
