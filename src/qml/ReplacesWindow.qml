import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import VexStyle 1.0
import "Controls"

// The command editor over "commandsViewModel": the theme chosen at the top, one
// tab per command type. Edits stay in the window until "Сохранить"; "Отмена"
// discards them, closing it any other way asks first when there are any.
FixedWindow {
    id: window

    // Fixed at each opening: the model rebuilds its collections on load.
    property var collections: []
    property bool saveFailed: false
    // Closed by "Сохранить" or "Отмена": nothing to ask.
    property bool settled: false

    readonly property string emptyView: "qrc:/EmptyWindow.qml"
    readonly property var browseViews: ({
        "Text": "qrc:/Views/Commands/Browse/AutoReplaceCommandsView.qml",
        "Exe": "qrc:/Views/Commands/Browse/ProcessCommandsView.qml",
        "Key": "qrc:/Views/Commands/Browse/HotKeyCommandsView.qml",
        "FileCopy": "qrc:/Views/Commands/Browse/FileCopyCommandsView.qml"
    })

    title: "Автозамена"
    // Wide enough for every tab title and the list's buttons beside the search.
    width: 760
    height: 540
    minimumWidth: 760
    minimumHeight: 400

    function viewOf(typeName) {
        return browseViews[typeName] || emptyView
    }

    function showWindow() {
        if (!visible) {
            saveFailed = false
            settled = false
            commandsViewModel.onLoad()
            collections = commandsViewModel.CommandSetList
            // The tabs exist only now: a tab bar that kept its index would not mark the tab.
            tabs.currentIndex = -1
            tabs.currentIndex = commandsViewModel.typeIndex
            // Before showing: the window manager places a window by the size it first asks for.
            minimumWidth = Math.max(760, Math.ceil(tabs.naturalWidth) + 24)
            width = Math.max(width, minimumWidth)
            show()
        }
        raise()
        requestActivate()
    }

    // The list of the open tab: arrows move through its rows, Return edits one
    // (the theme box above would change the theme on an arrow key).
    function focusFirstField() {
        var view = tabViews.itemAt(tabs.currentIndex)
        if (view && view.item)
            view.item.takeFocus()
    }

    function save() {
        saveFailed = !commandsViewModel.applyCommand()
        if (!saveFailed) {
            settled = true
            close()
        }
    }

    function cancel() {
        commandsViewModel.cancelCommand()
        settled = true
        close()
    }

    Connections {
        target: commandsViewModel
        function onChanged_typeIndex(index) { tabs.currentIndex = index }
    }

    onClosing: {
        if (!settled && !commandsViewModel.confirmClose()) {
            close.accepted = false
            return
        }
        // The views let go of the rows before the model deletes them.
        collections = []
        commandsViewModel.onClose()
    }

    // The theme and the tabs head the content, not the window's header: a
    // header that grows once the tabs exist (at each opening) is not moved
    // out of the list's way, and covered its buttons.
    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        RowLayout {
            Layout.fillWidth: true
            Layout.margins: 12
            Layout.bottomMargin: 8
            spacing: 8

            Label { text: "Словарь" }
            ElidingComboBox {
                id: themes
                Layout.fillWidth: true
                model: commandsViewModel.Themes
                currentIndex: commandsViewModel.ThemeIndex
                onActivated: commandsViewModel.ThemeIndex = index
            }
        }

        TabBar {
            id: tabs
            // As wide as the list below it.
            Layout.fillWidth: true
            Layout.leftMargin: 12
            Layout.rightMargin: 12
            onCurrentIndexChanged: if (currentIndex >= 0) commandsViewModel.typeIndex = currentIndex

            // The bar shares its width equally: each share must hold the longest title.
            readonly property real naturalWidth: {
                var widest = 0
                for (var i = 0; i < tabTitles.count; ++i)
                    widest = Math.max(widest, tabTitles.itemAt(i) ? tabTitles.itemAt(i).implicitWidth : 0)
                return widest * tabTitles.count + Math.max(0, tabTitles.count - 1) * spacing
            }

            Repeater {
                id: tabTitles
                model: window.collections
                TabButton {
                    text: modelData.HeaderText
                    leftPadding: 12
                    rightPadding: 12
                }
            }
        }

        StackLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.margins: 12
            currentIndex: tabs.currentIndex

            Repeater {
                id: tabViews
                model: window.collections
                Loader {
                    Component.onCompleted: setSource(window.viewOf(modelData.TypeName), { "viewModel": modelData })
                }
            }
        }
    }

    footer: Pane {
        RowLayout {
            anchors.fill: parent
            spacing: 8

            Label {
                Layout.fillWidth: true
                visible: window.saveFailed
                text: "Не удалось сохранить команды. Изменения остались в окне: попробуйте сохранить ещё раз."
                color: "#d32f2f"
                wrapMode: Text.WordWrap
            }
            Item { Layout.fillWidth: !window.saveFailed }
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
