import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import QtQuick.Window 2.15

// The list of one command type shared by the browse views: add, edit and
// remove commands of the chosen theme, search them by phrase or text.
// System rules are shown greyed and can be neither edited nor removed.
// viewModel: CommandsCollectionViewModel.
Item {
    id: root

    property var viewModel
    property string patternHeader
    property string textHeader
    // Paths keep their file name in view.
    property int textElide: Text.ElideRight
    // The edit window: a Views/Commands/Edit window taking "viewModel" and the two headers.
    property Component editWindow

    readonly property var rows: viewModel ? viewModel.FilteredCollection : null
    readonly property bool canChange: !!rows && rows.CurrentIndex >= 0 && !!viewModel
                                      && !viewModel.isSystem(rows.CurrentIndex)

    function openEditor(editModel) {
        if (!editModel || !editWindow)
            return
        // Over the editor, which takes the focus back when it closes.
        var win = editWindow.createObject(root, { "viewModel": editModel, "patternHeader": patternHeader,
                                                  "textHeader": textHeader, "title": viewModel.HeaderText,
                                                  "transientParent": root.Window.window })
        win.closing.connect(function() { win.destroy() })
        win.show()
    }

    function takeFocus() {
        list.forceActiveFocus()
    }

    function addCommand() {
        if (viewModel)
            openEditor(viewModel.newCommand())
    }

    function editCommand() {
        if (canChange)
            openEditor(viewModel.editCommand(rows.CurrentObject))
    }

    function deleteCommand() {
        if (canChange)
            viewModel.deleteCommand(rows.CurrentObject)
    }

    implicitWidth: 560
    implicitHeight: 360

    Shortcut { sequence: "Insert"; enabled: root.visible; onActivated: root.addCommand() }
    Shortcut { sequence: "F4"; enabled: root.visible; onActivated: root.editCommand() }
    Shortcut { sequence: "Delete"; enabled: root.visible; onActivated: root.deleteCommand() }

    ColumnLayout {
        anchors.fill: parent
        spacing: 8

        RowLayout {
            Layout.fillWidth: true
            spacing: 8

            Button { text: "Добавить"; onClicked: root.addCommand() }
            Button { text: "Изменить"; enabled: root.canChange; onClicked: root.editCommand() }
            Button { text: "Удалить выбранное"; enabled: root.canChange; onClicked: root.deleteCommand() }
            Item { Layout.fillWidth: true }

            TextField {
                id: search
                Layout.preferredWidth: 220
                placeholderText: "Поиск"
                selectByMouse: true
                rightPadding: searchIcon.width + 12
                onTextChanged: if (root.viewModel) root.viewModel.Filter = text

                Image {
                    id: searchIcon
                    source: "qrc:/Assets/Search_16x.png"
                    anchors.right: parent.right
                    anchors.rightMargin: 8
                    anchors.verticalCenter: parent.verticalCenter
                }
            }
        }

        Rectangle {
            Layout.fillWidth: true
            Layout.fillHeight: true
            border.color: "#bdbdbd"
            color: "white"

            ColumnLayout {
                anchors.fill: parent
                anchors.margins: 1
                spacing: 0

                Rectangle {
                    Layout.fillWidth: true
                    implicitHeight: headerRow.implicitHeight + 12
                    color: "#f0f0f0"

                    RowLayout {
                        id: headerRow
                        anchors.fill: parent
                        anchors.leftMargin: 8
                        anchors.rightMargin: 8
                        spacing: 12
                        Label {
                            Layout.preferredWidth: list.patternWidth
                            text: root.patternHeader
                            font.bold: true
                            elide: Text.ElideRight
                        }
                        Label {
                            Layout.fillWidth: true
                            text: root.textHeader
                            font.bold: true
                            elide: Text.ElideRight
                        }
                    }
                }

                ListView {
                    id: list
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    clip: true
                    model: root.rows
                    currentIndex: root.rows ? root.rows.CurrentIndex : -1
                    boundsBehavior: Flickable.StopAtBounds
                    ScrollBar.vertical: ScrollBar {}

                    readonly property real patternWidth: Math.round(width * 0.4)

                    delegate: Rectangle {
                        id: row
                        width: list.width
                        implicitHeight: Math.max(patternLabel.implicitHeight, textLabel.implicitHeight) + 10
                        color: ListView.isCurrentItem ? "#d6e9fb" : index % 2 ? "#fafafa" : "white"

                        readonly property color textColor: modelData.IsSystem ? "#99353535" : "#353535"

                        RowLayout {
                            anchors.fill: parent
                            anchors.leftMargin: 8
                            anchors.rightMargin: 8
                            spacing: 12
                            Label {
                                id: patternLabel
                                Layout.preferredWidth: list.patternWidth
                                text: modelData.Pattern
                                color: row.textColor
                                elide: Text.ElideRight
                            }
                            Label {
                                id: textLabel
                                Layout.fillWidth: true
                                text: modelData.Text
                                color: row.textColor
                                elide: root.textElide
                                maximumLineCount: 1
                            }
                        }

                        MouseArea {
                            anchors.fill: parent
                            onClicked: {
                                root.rows.CurrentIndex = index
                                list.forceActiveFocus()
                            }
                            onDoubleClicked: {
                                root.rows.CurrentIndex = index
                                root.editCommand()
                            }
                        }
                    }

                    // The current row stays in view also while the window settles its size.
                    function showCurrent() {
                        if (currentIndex >= 0)
                            positionViewAtIndex(currentIndex, ListView.Contain)
                    }
                    onCurrentIndexChanged: Qt.callLater(showCurrent)
                    onHeightChanged: Qt.callLater(showCurrent)

                    Keys.onUpPressed: if (root.rows.CurrentIndex > 0) root.rows.CurrentIndex -= 1
                    Keys.onDownPressed: if (root.rows.CurrentIndex < count - 1) root.rows.CurrentIndex += 1
                    Keys.onReturnPressed: root.editCommand()
                }
            }
        }
    }
}
