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

    Shortcut {
        sequences: ["Return", "Enter"]
        onActivated: window.save()
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

    // The field that takes the focus (a failed check, Tab) is scrolled into view
    // with the error line below it.
    // (A failed check moves the focus before its page is selected.)
    onActiveFocusItemChanged: {
        for (var i = 0; i < pageScrollers.count; ++i)
            pageScrollers.itemAt(i).reveal(activeFocusItem)
    }

    StackLayout {
        anchors.fill: parent
        anchors.margins: 12
        currentIndex: tabs.currentIndex

        Repeater {
            id: pageScrollers
            model: window.pages

            // A page fills the window when it fits and scrolls when it does not
            // (the window may be as low as its minimum height).
            Flickable {
                id: scroller
                clip: true
                contentWidth: width
                contentHeight: Math.max(height, page.item ? page.item.implicitHeight : 0)
                boundsBehavior: Flickable.StopAtBounds
                readonly property bool scrolls: contentHeight > height
                ScrollBar.vertical: ScrollBar {
                    id: bar
                    policy: scroller.scrolls ? ScrollBar.AlwaysOn : ScrollBar.AsNeeded
                }
                // An error line shown below the focused field grows the page.
                onContentHeightChanged: reveal(window.activeFocusItem)

                function reveal(item) {
                    var inside = item
                    while (inside && inside !== page)
                        inside = inside.parent
                    if (!inside)
                        return
                    var top = item.mapToItem(page, 0, 0).y
                    var bottom = top + item.height + 24
                    if (top < contentY)
                        contentY = top
                    else if (bottom > contentY + height)
                        contentY = Math.min(bottom, contentHeight) - height
                }

                Loader {
                    id: page
                    // Beside the scroll bar, not under it (always: a width that
                    // followed the bar would change the height it depends on).
                    width: scroller.width - bar.width
                    height: scroller.contentHeight
                    Component.onCompleted: setSource(window.viewOf(modelData.ClassName), { "viewModel": modelData })
                }
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
